/* The Plug-and-Play requests: the bus lists the boot loaders as its children, and each child
   answers as a HID device would, so that SetupAPI lists it under the HID interface. */
#include "twin_driver.h"

static const GUID kHidInterface = {
    0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

static void AppendHex(WCHAR** at, USHORT value) {
    static const WCHAR digits[] = L"0123456789ABCDEF";
    int shift;
    for (shift = 12; shift >= 0; shift -= 4) *(*at)++ = digits[(value >> shift) & 0xF];
}

void AppendText(WCHAR** at, const WCHAR* text) {
    while (*text) *(*at)++ = *text++;
}

/* "HID\VID_1232&PID_0103", then the extra terminators a multi-string needs. */
static WCHAR* HardwareId(Ext* ext, int terminators) {
    WCHAR* text = (WCHAR*)ExAllocatePool(PagedPool, 64 * sizeof(WCHAR));
    WCHAR* at = text;
    if (!text) return NULL;
    AppendText(&at, L"HID\\VID_");
    AppendHex(&at, ext->vendor);
    AppendText(&at, L"&PID_");
    AppendHex(&at, ext->product);
    while (terminators--) *at++ = 0;
    return text;
}

static WCHAR* DecimalId(ULONG value) {
    WCHAR digits[12];
    int count = 0, i;
    WCHAR* text = (WCHAR*)ExAllocatePool(PagedPool, 16 * sizeof(WCHAR));
    if (!text) return NULL;
    do {
        digits[count++] = (WCHAR)(L'0' + value % 10);
        value /= 10;
    } while (value);
    for (i = 0; i < count; ++i) text[i] = digits[count - 1 - i];
    text[count] = 0;
    return text;
}

NTSTATUS ChildPnp(PDEVICE_OBJECT device, PIRP irp) {
    Ext* ext = ExtOf(device);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS status = irp->IoStatus.Status;
    ULONG_PTR information = irp->IoStatus.Information;
    switch (stack->MinorFunction) {
        case IRP_MN_QUERY_ID: {
            WCHAR* text = NULL;
            switch (stack->Parameters.QueryId.IdType) {
                case BusQueryDeviceID:
                    text = HardwareId(ext, 1);
                    break;
                case BusQueryHardwareIDs:
                    text = HardwareId(ext, 2);
                    break;
                case BusQueryInstanceID:
                    text = DecimalId(ext->number);
                    break;
                case BusQueryCompatibleIDs:
                    /* An empty multi-string: without one Wine installs no child. */
                    text = (WCHAR*)ExAllocatePool(PagedPool, 2 * sizeof(WCHAR));
                    if (text) text[0] = text[1] = 0;
                    break;
                default:
                    break;
            }
            if (text) {
                status = STATUS_SUCCESS;
                information = (ULONG_PTR)text;
            }
            break;
        }
        case IRP_MN_QUERY_CAPABILITIES: {
            PDEVICE_CAPABILITIES caps = stack->Parameters.DeviceCapabilities.Capabilities;
            caps->RawDeviceOK = 1; /* starts without a function driver */
            caps->Removable = 1;
            caps->SurpriseRemovalOK = 1;
            status = STATUS_SUCCESS;
            break;
        }
        case IRP_MN_START_DEVICE:
            status = IoRegisterDeviceInterface(device, &kHidInterface, NULL, &ext->iface);
            if (NT_SUCCESS(status)) IoSetDeviceInterfaceState(&ext->iface, TRUE);
            break;
        case IRP_MN_SURPRISE_REMOVAL:
            if (ext->iface.Buffer) IoSetDeviceInterfaceState(&ext->iface, FALSE);
            status = STATUS_SUCCESS;
            break;
        case IRP_MN_REMOVE_DEVICE:
            if (ext->iface.Buffer) {
                IoSetDeviceInterfaceState(&ext->iface, FALSE);
                RtlFreeUnicodeString(&ext->iface);
                ext->iface.Buffer = NULL;
            }
            Complete(irp, STATUS_SUCCESS, 0);
            if (!ext->present) IoDeleteDevice(device);
            return STATUS_SUCCESS;
        case IRP_MN_QUERY_DEVICE_RELATIONS:
            if (stack->Parameters.QueryDeviceRelations.Type == TargetDeviceRelation) {
                PDEVICE_RELATIONS relations =
                    (PDEVICE_RELATIONS)ExAllocatePool(PagedPool, sizeof(DEVICE_RELATIONS));
                if (relations) {
                    relations->Count = 1;
                    relations->Objects[0] = device;
                    ObReferenceObject(device);
                    status = STATUS_SUCCESS;
                    information = (ULONG_PTR)relations;
                }
            }
            break;
        default:
            break;
    }
    return Complete(irp, status, information);
}

NTSTATUS BusPnp(PDEVICE_OBJECT device, PIRP irp) {
    Ext* ext = ExtOf(device);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->MinorFunction == IRP_MN_QUERY_DEVICE_RELATIONS &&
        stack->Parameters.QueryDeviceRelations.Type == BusRelations) {
        KIRQL irql;
        ULONG i, count;
        PDEVICE_RELATIONS relations;
        IoAcquireCancelSpinLock(&irql);
        count = g_child_count;
        relations = (PDEVICE_RELATIONS)ExAllocatePool(
            PagedPool, sizeof(DEVICE_RELATIONS) + TWIN_MAX_CHILDREN * sizeof(PDEVICE_OBJECT));
        if (relations) {
            relations->Count = count;
            for (i = 0; i < count; ++i) {
                relations->Objects[i] = g_children[i];
                ObReferenceObject(g_children[i]);
            }
        }
        IoReleaseCancelSpinLock(irql);
        if (!relations) return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
        irp->IoStatus.Status = STATUS_SUCCESS;
        irp->IoStatus.Information = (ULONG_PTR)relations;
    } else if (stack->MinorFunction == IRP_MN_REMOVE_DEVICE) {
        PDEVICE_OBJECT lower = ext->lower;
        NTSTATUS status;
        IoSkipCurrentIrpStackLocation(irp);
        status = IoCallDriver(lower, irp);
        IoDetachDevice(lower);
        IoDeleteDevice(device);
        g_bus_pdo = NULL;
        return status;
    } else if (stack->MinorFunction == IRP_MN_START_DEVICE) {
        irp->IoStatus.Status = STATUS_SUCCESS;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(ext->lower, irp);
}

