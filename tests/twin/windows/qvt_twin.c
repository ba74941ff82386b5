/* The QVT-40 R3's twin inside Wine's device host. It offers what the real units would offer the
   system (the maker driver's device objects, the boot loaders as HID children of a bus) and
   holds no rule of the unit: every request on them waits here until the twin host, a user-mode
   program playing the unit's model, answers it through the control device. */
#include <ntddk.h>

#include "twin_protocol.h"

#define STATUS_TWIN_NOT_FOUND ((NTSTATUS)0xC0000225L) /* STATUS_NOT_FOUND */

typedef enum Role { ROLE_CONTROL, ROLE_BUS, ROLE_APP, ROLE_CHILD } Role;

typedef struct Ext {
    Role role;
    ULONG number; /* object number or child id */
    PDEVICE_OBJECT lower;
    UNICODE_STRING iface;
    BOOLEAN present;
    USHORT vendor, product, version;
} Ext;

static const GUID kHidInterface = {
    0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

static PDRIVER_OBJECT g_driver;
static PDEVICE_OBJECT g_control;
static PDEVICE_OBJECT g_bus_pdo;
static PDEVICE_OBJECT g_app[TWIN_APP_OBJECTS];
static PDEVICE_OBJECT g_children[TWIN_MAX_CHILDREN];
static ULONG g_child_count;
/* Requests not yet fetched by the host, fetched and awaiting its answer, and the host's own
   pending fetches. One lock for all three: the cancel spin lock, which also guards cancelling. */
static LIST_ENTRY g_waiting, g_asked, g_fetchers;
#define NOTES 128
static TwinRequest g_notes[NOTES];
static ULONG g_note_head, g_note_count;
static ULONG g_serial, g_handles;
/* Open handles of the control device: with no host, nothing would ever answer a request. */
static ULONG g_hosts;

#define IRP_SERIAL(irp) ((irp)->Tail.Overlay.DriverContext[0])
#define IRP_KIND(irp) ((irp)->Tail.Overlay.DriverContext[1])
#define IRP_ASKED(irp) ((irp)->Tail.Overlay.DriverContext[2])

static Ext* ExtOf(PDEVICE_OBJECT device) {
    return (Ext*)device->DeviceExtension;
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static void* BufferOf(PIRP irp) {
    if (irp->AssociatedIrp.SystemBuffer) return irp->AssociatedIrp.SystemBuffer;
    if (irp->MdlAddress) return MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
    return irp->UserBuffer;
}

static ULONG DeviceWord(PDEVICE_OBJECT device) {
    Ext* ext = ExtOf(device);
    return ext->role == ROLE_CHILD ? (TWIN_CHILD_FLAG | ext->number) : ext->number;
}

/* The host's view of a request, built from the request itself. Under the lock. */
static void Describe(PIRP irp, TwinRequest* out) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const void* in = NULL;
    ULONG in_size = 0;
    RtlZeroMemory(out, sizeof *out);
    out->serial = (ULONG)(ULONG_PTR)IRP_SERIAL(irp);
    out->kind = (ULONG)(ULONG_PTR)IRP_KIND(irp);
    out->device = DeviceWord(stack->DeviceObject);
    out->handle = stack->FileObject ? (ULONG)(ULONG_PTR)stack->FileObject->FsContext : 0;
    switch (out->kind) {
        case TWIN_CONTROL:
            out->code = stack->Parameters.DeviceIoControl.IoControlCode;
            in_size = stack->Parameters.DeviceIoControl.InputBufferLength;
            out->out_size = stack->Parameters.DeviceIoControl.OutputBufferLength;
            in = irp->AssociatedIrp.SystemBuffer;
            break;
        case TWIN_WRITE:
            in_size = stack->Parameters.Write.Length;
            in = BufferOf(irp);
            break;
        case TWIN_READ:
            out->out_size = stack->Parameters.Read.Length;
            break;
        default:
            break;
    }
    out->in_size = in_size;
    if (in && in_size) RtlCopyMemory(out->data, in, in_size < TWIN_DATA_BYTES ? in_size : TWIN_DATA_BYTES);
}

static PIRP PopFetcher(void) {
    while (!IsListEmpty(&g_fetchers)) {
        PLIST_ENTRY entry = RemoveHeadList(&g_fetchers);
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        if (IoSetCancelRoutine(irp, NULL)) return irp;
        /* Being cancelled: its cancel routine finds it unlinked and only completes it. */
        InitializeListHead(&irp->Tail.Overlay.ListEntry);
    }
    return NULL;
}

static void PushNote(ULONG kind, ULONG device, ULONG handle, ULONG serial) {
    TwinRequest* note;
    if (g_note_count == NOTES) return; /* the host is gone; nobody will read it */
    note = &g_notes[(g_note_head + g_note_count++) % NOTES];
    RtlZeroMemory(note, sizeof *note);
    note->kind = kind;
    note->device = device;
    note->handle = handle;
    note->serial = serial;
}

/* Hands the oldest note, or else the oldest waiting request, to a fetch. Under the lock. */
static BOOLEAN Feed(PIRP fetcher) {
    TwinRequest* out = (TwinRequest*)fetcher->AssociatedIrp.SystemBuffer;
    if (g_note_count) {
        *out = g_notes[g_note_head];
        g_note_head = (g_note_head + 1) % NOTES;
        --g_note_count;
        return TRUE;
    }
    if (!IsListEmpty(&g_waiting)) {
        PLIST_ENTRY entry = RemoveHeadList(&g_waiting);
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        IRP_ASKED(irp) = (PVOID)1;
        InsertTailList(&g_asked, entry);
        Describe(irp, out);
        return TRUE;
    }
    return FALSE;
}

/* After anything was queued: a fetch that waits gets it. Called with the lock held; releases it. */
static void FeedAndUnlock(KIRQL irql) {
    PIRP fetcher = NULL;
    if (g_note_count || !IsListEmpty(&g_waiting)) {
        fetcher = PopFetcher();
        if (fetcher && !Feed(fetcher)) {
            InsertHeadList(&g_fetchers, &fetcher->Tail.Overlay.ListEntry);
            fetcher = NULL; /* cannot happen; keeps it pending all the same */
        }
    }
    IoReleaseCancelSpinLock(irql);
    if (fetcher) Complete(fetcher, STATUS_SUCCESS, sizeof(TwinRequest));
}

static void CancelForwarded(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    if (IRP_ASKED(irp)) {
        PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
        PushNote(TWIN_CANCEL, DeviceWord(stack->DeviceObject),
                 stack->FileObject ? (ULONG)(ULONG_PTR)stack->FileObject->FsContext : 0,
                 (ULONG)(ULONG_PTR)IRP_SERIAL(irp));
    }
    FeedAndUnlock(irp->CancelIrql);
    Complete(irp, STATUS_CANCELLED, 0);
}

static void CancelFetcher(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    IoReleaseCancelSpinLock(irp->CancelIrql);
    Complete(irp, STATUS_CANCELLED, 0);
}

/* Keeps a request pending in `list`, cancellable. Under the lock; FALSE when it was being
   cancelled already: then it is completed as cancelled and the lock is released. */
static BOOLEAN Park(PIRP irp, PDRIVER_CANCEL cancel, PLIST_ENTRY list, KIRQL irql) {
    IoMarkIrpPending(irp);
    IoSetCancelRoutine(irp, cancel);
    if (irp->Cancel && IoSetCancelRoutine(irp, NULL)) {
        IoReleaseCancelSpinLock(irql);
        Complete(irp, STATUS_CANCELLED, 0);
        return FALSE;
    }
    InsertTailList(list, &irp->Tail.Overlay.ListEntry);
    return TRUE;
}

/* Passes a request on to the host; it completes when the host answers or the caller cancels. */
static NTSTATUS Forward(PIRP irp, ULONG kind) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    IRP_SERIAL(irp) = (PVOID)(ULONG_PTR)++g_serial;
    IRP_KIND(irp) = (PVOID)(ULONG_PTR)kind;
    IRP_ASKED(irp) = NULL;
    if (!g_hosts) {
        IoReleaseCancelSpinLock(irql);
        return Complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    }
    if (Park(irp, CancelForwarded, &g_waiting, irql)) FeedAndUnlock(irql);
    return STATUS_PENDING;
}

static NTSTATUS Next(PIRP irp) {
    KIRQL irql;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->Parameters.DeviceIoControl.OutputBufferLength < sizeof(TwinRequest)) {
        return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    }
    IoAcquireCancelSpinLock(&irql);
    if (Feed(irp)) {
        IoReleaseCancelSpinLock(irql);
        return Complete(irp, STATUS_SUCCESS, sizeof(TwinRequest));
    }
    if (Park(irp, CancelFetcher, &g_fetchers, irql)) IoReleaseCancelSpinLock(irql);
    return STATUS_PENDING;
}

static NTSTATUS Answer(PIRP irp) {
    KIRQL irql;
    PLIST_ENTRY entry;
    PIRP asked = NULL;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const TwinAnswer* answer = (const TwinAnswer*)irp->AssociatedIrp.SystemBuffer;
    ULONG_PTR information = 0;
    if (stack->Parameters.DeviceIoControl.InputBufferLength < sizeof(TwinAnswer)) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    IoAcquireCancelSpinLock(&irql);
    for (entry = g_asked.Flink; entry != &g_asked; entry = entry->Flink) {
        PIRP candidate = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        if ((ULONG)(ULONG_PTR)IRP_SERIAL(candidate) == answer->serial) {
            if (IoSetCancelRoutine(candidate, NULL)) {
                RemoveEntryList(entry);
                asked = candidate;
            }
            break;
        }
    }
    IoReleaseCancelSpinLock(irql);
    if (!asked) return Complete(irp, STATUS_TWIN_NOT_FOUND, 0);

    stack = IoGetCurrentIrpStackLocation(asked);
    if (answer->status >= 0) {
        ULONG size = answer->size < TWIN_DATA_BYTES ? answer->size : TWIN_DATA_BYTES;
        switch ((ULONG)(ULONG_PTR)IRP_KIND(asked)) {
            case TWIN_CONTROL:
                if (size > stack->Parameters.DeviceIoControl.OutputBufferLength) {
                    size = stack->Parameters.DeviceIoControl.OutputBufferLength;
                }
                if (size) RtlCopyMemory(asked->AssociatedIrp.SystemBuffer, answer->data, size);
                information = size;
                break;
            case TWIN_READ:
                if (size > stack->Parameters.Read.Length) size = stack->Parameters.Read.Length;
                if (size) RtlCopyMemory(BufferOf(asked), answer->data, size);
                information = size;
                break;
            case TWIN_WRITE:
                information = answer->size;
                break;
            default:
                break;
        }
    }
    Complete(asked, answer->status, information);
    return Complete(irp, STATUS_SUCCESS, 0);
}

static void AppendHex(WCHAR** at, USHORT value) {
    static const WCHAR digits[] = L"0123456789ABCDEF";
    int shift;
    for (shift = 12; shift >= 0; shift -= 4) *(*at)++ = digits[(value >> shift) & 0xF];
}

static void AppendText(WCHAR** at, const WCHAR* text) {
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

static NTSTATUS ChildPnp(PDEVICE_OBJECT device, PIRP irp) {
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

static NTSTATUS BusPnp(PDEVICE_OBJECT device, PIRP irp) {
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

static void AppObjectName(ULONG number, const WCHAR* prefix, WCHAR* out) {
    WCHAR* at = out;
    AppendText(&at, prefix);
    *at++ = (WCHAR)(L'0' + number);
    *at = 0;
}

static void ShowAppObjects(ULONG wanted) {
    ULONG n;
    for (n = 0; n < TWIN_APP_OBJECTS; ++n) {
        WCHAR name[64], link[64];
        UNICODE_STRING name_string, link_string;
        BOOLEAN want = (wanted >> n) & 1;
        AppObjectName(n, L"\\Device\\QvtUsb2Device", name);
        AppObjectName(n, L"\\DosDevices\\QvtUsb2Device", link);
        RtlInitUnicodeString(&name_string, name);
        RtlInitUnicodeString(&link_string, link);
        if (want && !g_app[n]) {
            PDEVICE_OBJECT object;
            if (NT_SUCCESS(IoCreateDevice(g_driver, sizeof(Ext), &name_string, FILE_DEVICE_UNKNOWN,
                                          0, FALSE, &object))) {
                Ext* ext = ExtOf(object);
                RtlZeroMemory(ext, sizeof *ext);
                ext->role = ROLE_APP;
                ext->number = n;
                object->Flags |= DO_BUFFERED_IO;
                object->Flags &= ~DO_DEVICE_INITIALIZING;
                IoCreateSymbolicLink(&link_string, &name_string);
                g_app[n] = object;
            }
        } else if (!want && g_app[n]) {
            IoDeleteSymbolicLink(&link_string);
            IoDeleteDevice(g_app[n]);
            g_app[n] = NULL;
        }
    }
}

static NTSTATUS Show(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const TwinShow* show = (const TwinShow*)irp->AssociatedIrp.SystemBuffer;
    PDEVICE_OBJECT kept[TWIN_MAX_CHILDREN];
    ULONG kept_count = 0, i, j, count;
    KIRQL irql;
    if (stack->Parameters.DeviceIoControl.InputBufferLength < sizeof(TwinShow)) {
        return Complete(irp, STATUS_INVALID_PARAMETER, 0);
    }
    ShowAppObjects(show->app_objects);
    count = show->child_count < TWIN_MAX_CHILDREN ? show->child_count : TWIN_MAX_CHILDREN;
    IoAcquireCancelSpinLock(&irql);
    for (i = 0; i < g_child_count; ++i) {
        Ext* ext = ExtOf(g_children[i]);
        BOOLEAN stays = FALSE;
        for (j = 0; j < count; ++j) stays |= show->children[j].id == ext->number;
        if (stays) {
            kept[kept_count++] = g_children[i];
        } else {
            ext->present = FALSE; /* deleted when the system removes it */
        }
    }
    IoReleaseCancelSpinLock(irql);
    for (j = 0; j < count; ++j) {
        BOOLEAN known = FALSE;
        for (i = 0; i < kept_count; ++i) known |= ExtOf(kept[i])->number == show->children[j].id;
        if (!known && kept_count < TWIN_MAX_CHILDREN) {
            PDEVICE_OBJECT child;
            if (NT_SUCCESS(IoCreateDevice(g_driver, sizeof(Ext), NULL, FILE_DEVICE_UNKNOWN,
                                          FILE_AUTOGENERATED_DEVICE_NAME, FALSE, &child))) {
                Ext* ext = ExtOf(child);
                RtlZeroMemory(ext, sizeof *ext);
                ext->role = ROLE_CHILD;
                ext->number = show->children[j].id;
                ext->present = TRUE;
                ext->vendor = show->children[j].vendor;
                ext->product = show->children[j].product;
                ext->version = show->children[j].version;
                child->Flags |= DO_BUFFERED_IO;
                child->Flags &= ~DO_DEVICE_INITIALIZING;
                kept[kept_count++] = child;
            }
        }
    }
    IoAcquireCancelSpinLock(&irql);
    for (i = 0; i < kept_count; ++i) g_children[i] = kept[i];
    g_child_count = kept_count;
    IoReleaseCancelSpinLock(irql);
    if (g_bus_pdo) IoInvalidateDeviceRelations(g_bus_pdo, BusRelations);
    return Complete(irp, STATUS_SUCCESS, 0);
}

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

/* The host is gone: every request it was to answer fails, as a device that vanished. */
static void FailAllUnlock(KIRQL irql) {
    LIST_ENTRY failed;
    InitializeListHead(&failed);
    while (!IsListEmpty(&g_waiting) || !IsListEmpty(&g_asked)) {
        PLIST_ENTRY entry = RemoveHeadList(IsListEmpty(&g_waiting) ? &g_asked : &g_waiting);
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        if (IoSetCancelRoutine(irp, NULL)) {
            InsertTailList(&failed, entry);
        } else {
            InitializeListHead(entry); /* its cancel routine completes it */
        }
    }
    g_note_count = 0;
    IoReleaseCancelSpinLock(irql);
    while (!IsListEmpty(&failed)) {
        PLIST_ENTRY entry = RemoveHeadList(&failed);
        Complete(CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry), STATUS_DEVICE_NOT_CONNECTED, 0);
    }
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
