/* The QVT-40 R3's twin inside Wine's device host. It offers what the real units would offer the
   system (the maker driver's device objects, the boot loaders as HID children of a bus) and
   holds no rule of the unit: every request on them waits here until the twin host, a user-mode
   program playing the unit's model, answers it through the control device.
   This file: the driver's entry and its dispatch of each kind of request to its part. */
#include "twin_driver.h"

PDRIVER_OBJECT g_driver;
static PDEVICE_OBJECT g_control;
PDEVICE_OBJECT g_bus_pdo;
PDEVICE_OBJECT g_app[TWIN_APP_OBJECTS];
PDEVICE_OBJECT g_children[TWIN_MAX_CHILDREN];
ULONG g_child_count;
ULONG g_hosts;
static ULONG g_handles;

static NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    Ext* ext = ExtOf(device);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (ext->role == ROLE_CONTROL) {
        KIRQL irql;
        IoAcquireCancelSpinLock(&irql);
        ++g_hosts;
        IoReleaseCancelSpinLock(irql);
    }
    if (ext->role != ROLE_APP && ext->role != ROLE_CHILD) return Complete(irp, STATUS_SUCCESS, 0);
    if (ext->role == ROLE_CHILD && !ext->present) return Complete(irp, STATUS_NO_SUCH_DEVICE, 0);
    if (stack->FileObject) {
        stack->FileObject->FsContext = (PVOID)(ULONG_PTR)InterlockedIncrement((LONG*)&g_handles);
    }
    return Forward(irp, TWIN_OPEN);
}

static NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    Ext* ext = ExtOf(device);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (ext->role == ROLE_CONTROL) {
        KIRQL irql;
        IoAcquireCancelSpinLock(&irql);
        if (g_hosts && --g_hosts == 0) {
            FailAllUnlock(irql);
        } else {
            IoReleaseCancelSpinLock(irql);
        }
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    if ((ext->role == ROLE_APP || ext->role == ROLE_CHILD) && stack->FileObject &&
        stack->FileObject->FsContext) {
        KIRQL irql;
        IoAcquireCancelSpinLock(&irql);
        PushNote(TWIN_CLOSE, DeviceWord(device), (ULONG)(ULONG_PTR)stack->FileObject->FsContext, 0);
        FeedAndUnlock(irql);
    }
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS DispatchCleanup(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
    Ext* ext = ExtOf(device);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (ext->role == ROLE_CONTROL) {
        switch (stack->Parameters.DeviceIoControl.IoControlCode) {
            case TWIN_IOCTL_NEXT:
                return Next(irp);
            case TWIN_IOCTL_ANSWER:
                return Answer(irp);
            case TWIN_IOCTL_SHOW:
                return Show(irp);
            default:
                return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
        }
    }
    if (ext->role == ROLE_BUS) return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    return Forward(irp, TWIN_CONTROL);
}

static NTSTATUS DispatchRead(PDEVICE_OBJECT device, PIRP irp) {
    Ext* ext = ExtOf(device);
    if (ext->role != ROLE_APP && ext->role != ROLE_CHILD) {
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
    return Forward(irp, TWIN_READ);
}

static NTSTATUS DispatchWrite(PDEVICE_OBJECT device, PIRP irp) {
    Ext* ext = ExtOf(device);
    if (ext->role != ROLE_APP && ext->role != ROLE_CHILD) {
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
    return Forward(irp, TWIN_WRITE);
}

static NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
    Ext* ext = ExtOf(device);
    if (ext->role == ROLE_BUS) return BusPnp(device, irp);
    if (ext->role == ROLE_CHILD) return ChildPnp(device, irp);
    return Complete(irp, STATUS_NOT_SUPPORTED, 0);
}

static NTSTATUS DispatchPower(PDEVICE_OBJECT device, PIRP irp) {
    Ext* ext = ExtOf(device);
    if (ext->role == ROLE_BUS) {
        PoStartNextPowerIrp(irp);
        IoSkipCurrentIrpStackLocation(irp);
        return PoCallDriver(ext->lower, irp);
    }
    PoStartNextPowerIrp(irp);
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    PDEVICE_OBJECT fdo;
    Ext* ext;
    NTSTATUS status = IoCreateDevice(driver, sizeof(Ext), NULL, FILE_DEVICE_BUS_EXTENDER, 0,
                                     FALSE, &fdo);
    if (!NT_SUCCESS(status)) return status;
    ext = ExtOf(fdo);
    RtlZeroMemory(ext, sizeof *ext);
    ext->role = ROLE_BUS;
    ext->lower = IoAttachDeviceToDeviceStack(fdo, pdo);
    g_bus_pdo = pdo;
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    /* Children shown before the bus came are asked for now. */
    if (g_child_count) IoInvalidateDeviceRelations(pdo, BusRelations);
    return STATUS_SUCCESS;
}

NTSTATUS WINAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry) {
    UNICODE_STRING name, link;
    NTSTATUS status;
    (void)registry;
    g_driver = driver;
    InitializeListHead(&g_waiting);
    InitializeListHead(&g_asked);
    InitializeListHead(&g_fetchers);
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->MajorFunction[IRP_MJ_READ] = DispatchRead;
    driver->MajorFunction[IRP_MJ_WRITE] = DispatchWrite;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->DriverExtension->AddDevice = AddDevice;

    RtlInitUnicodeString(&name, TWIN_CONTROL_DEVICE);
    RtlInitUnicodeString(&link, TWIN_CONTROL_LINK);
    status = IoCreateDevice(driver, sizeof(Ext), &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &g_control);
    if (!NT_SUCCESS(status)) return status;
    RtlZeroMemory(g_control->DeviceExtension, sizeof(Ext));
    ExtOf(g_control)->role = ROLE_CONTROL;
    g_control->Flags |= DO_BUFFERED_IO;
    g_control->Flags &= ~DO_DEVICE_INITIALIZING;
    return IoCreateSymbolicLink(&link, &name);
}
