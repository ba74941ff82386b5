/* The requests on the units' devices (open, control, read, write), passed on to the twin host
   through the control device and completed with its answer; a request cancelled meanwhile, and
   a close, become notes the host fetches like requests. */
#include "twin_driver.h"

LIST_ENTRY g_waiting, g_asked, g_fetchers;
#define NOTES 128
static TwinRequest g_notes[NOTES];
static ULONG g_note_head, g_note_count;
static ULONG g_serial;

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

void PushNote(ULONG kind, ULONG device, ULONG handle, ULONG serial) {
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
void FeedAndUnlock(KIRQL irql) {
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
NTSTATUS Forward(PIRP irp, ULONG kind) {
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

NTSTATUS Next(PIRP irp) {
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

NTSTATUS Answer(PIRP irp) {
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

/* The host is gone: every request it was to answer fails, as a device that vanished. */
void FailAllUnlock(KIRQL irql) {
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

