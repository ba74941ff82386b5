#!/usr/bin/env bash
# Every function QvtUpdate.exe imports must exist on the oldest Windows its manifest names,
# Windows 7 SP1 (without the KB2533623 loader update): whatever newer it needs it looks up at
# run time. Fails when the exe imports from another DLL than the four it links, or imports a
# function that Windows 7 SP1 lacks.
set -euo pipefail
objdump=$1
exe=$2

# Functions of these DLLs that Windows 8 or later introduced, among those a C++ program of
# this kind (or the MinGW-w64 runtime) could come to import.
newer=(
  SetDefaultDllDirectories AddDllDirectory RemoveDllDirectory
  GetSystemTimePreciseAsFileTime GetOverlappedResultEx CreateFile2 CopyFile2
  GetCurrentThreadStackLimits PrefetchVirtualMemory SetThreadInformation GetThreadInformation
  SetProcessInformation GetProcessInformation WaitOnAddress WakeByAddressSingle
  WakeByAddressAll InitializeSynchronizationBarrier EnterSynchronizationBarrier
  DeleteSynchronizationBarrier CreateFileMappingFromApp MapViewOfFileFromApp
  VirtualAllocFromApp GetProcessMitigationPolicy SetProcessMitigationPolicy GetFirmwareType
  GetCurrentPackageId GetCurrentPackageFullName GetCurrentPackageFamilyName GetPackageFullName
  SetThreadDescription GetThreadDescription GetSystemCpuSetInformation
  SetThreadSelectedCpuSets QueryUnbiasedInterruptTimePrecise CompareObjectHandles
  VirtualAlloc2 MapViewOfFile3 UnmapViewOfFile2 DiscardVirtualMemory OfferVirtualMemory
  ReclaimVirtualMemory GetDynamicTimeZoneInformationEffectiveYears GetUserDefaultGeoName
  GetDpiForWindow GetDpiForSystem AdjustWindowRectExForDpi SystemParametersInfoForDpi
  GetSystemMetricsForDpi SetThreadDpiAwarenessContext GetThreadDpiAwarenessContext
  SetProcessDpiAwarenessContext EnableNonClientDpiScaling GetWindowDpiAwarenessContext
  AreDpiAwarenessContextsEqual GetAwarenessFromDpiAwarenessContext IsValidDpiAwarenessContext
  SetDialogDpiChangeBehavior GetPointerType GetPointerInfo EnableMouseInPointer
  SetCoalescableTimer LogicalToPhysicalPointForPerMonitorDPI
  PhysicalToLogicalPointForPerMonitorDPI IsImmersiveProcess GetCurrentInputMessageSource
  GetDisplayAutoRotationPreferences SetDisplayAutoRotationPreferences
)
allowed_dlls='^(KERNEL32|USER32|GDI32|msvcrt)\.dll$'

imports=$("$objdump" -p "$exe" | awk '
  /DLL Name:/ { dll = $3; next }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }')
[ -n "$imports" ] || { echo "no imports read from $exe"; exit 1; }

status=0
while read -r dll; do
  if ! [[ $dll =~ $allowed_dlls ]]; then
    echo "$exe imports from $dll, which it should load at run time if at all"
    status=1
  fi
done < <(awk '{print $1}' <<<"$imports" | sort -u)
for function in "${newer[@]}"; do
  if awk '{print $2}' <<<"$imports" | grep -qx "$function"; then
    echo "$exe imports $function, which Windows 7 SP1 lacks"
    status=1
  fi
done
count=$(wc -l <<<"$imports")
echo "$(basename "$exe"): $count imported functions from $(awk '{print $1}' <<<"$imports" | sort -u | tr '\n' ' ')"
exit $status
