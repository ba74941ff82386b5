/* What the parts of the twin's driver share: the device objects' roles, the requests' lists
   and the one lock over them, and how each part is reached from the others. */
#pragma once

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

extern PDRIVER_OBJECT g_driver;
extern PDEVICE_OBJECT g_bus_pdo;
extern PDEVICE_OBJECT g_app[TWIN_APP_OBJECTS];
extern PDEVICE_OBJECT g_children[TWIN_MAX_CHILDREN];
extern ULONG g_child_count;
/* Requests not yet fetched by the host, fetched and awaiting its answer, and the host's own
   pending fetches. One lock for all three: the cancel spin lock, which also guards cancelling. */
extern LIST_ENTRY g_waiting, g_asked, g_fetchers;
/* Open handles of the control device: with no host, nothing would ever answer a request. */
extern ULONG g_hosts;

#define IRP_SERIAL(irp) ((irp)->Tail.Overlay.DriverContext[0])
#define IRP_KIND(irp) ((irp)->Tail.Overlay.DriverContext[1])
#define IRP_ASKED(irp) ((irp)->Tail.Overlay.DriverContext[2])

static inline Ext* ExtOf(PDEVICE_OBJECT device) {
    return (Ext*)device->DeviceExtension;
}

static inline NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static inline void* BufferOf(PIRP irp) {
    if (irp->AssociatedIrp.SystemBuffer) return irp->AssociatedIrp.SystemBuffer;
    if (irp->MdlAddress) return MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
    return irp->UserBuffer;
}

static inline ULONG DeviceWord(PDEVICE_OBJECT device) {
    Ext* ext = ExtOf(device);
    return ext->role == ROLE_CHILD ? (TWIN_CHILD_FLAG | ext->number) : ext->number;
}

/* twin_relay.c: the requests on the units' devices, passed on to the host and answered by it. */
NTSTATUS Forward(PIRP irp, ULONG kind);
NTSTATUS Next(PIRP irp);
NTSTATUS Answer(PIRP irp);
void PushNote(ULONG kind, ULONG device, ULONG handle, ULONG serial);
void FeedAndUnlock(KIRQL irql);
void FailAllUnlock(KIRQL irql);

/* twin_pnp.c: the Plug-and-Play requests of the bus and of its children. */
void AppendText(WCHAR** at, const WCHAR* text);
NTSTATUS ChildPnp(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS BusPnp(PDEVICE_OBJECT device, PIRP irp);

/* twin_show.c: the host's request to offer other devices from now on. */
NTSTATUS Show(PIRP irp);
