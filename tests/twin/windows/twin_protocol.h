/* What the twin's driver and the twin host say to each other through the control device
   \\.\QvtTwinControl. Plain C: the driver includes it too. */
#pragma once

#include <stdint.h>

#define TWIN_CONTROL_DEVICE L"\\Device\\QvtTwinControl"
#define TWIN_CONTROL_LINK L"\\DosDevices\\QvtTwinControl"
#define TWIN_CONTROL_PATH L"\\\\.\\QvtTwinControl"

/* Device type 0x8000 and up is free for anyone's own; buffered, any access. */
#define TWIN_CODE(function) ((0x8000u << 16) | ((function) << 2))
/* Out: one TwinRequest, once there is one (the call stays pending until then). */
#define TWIN_IOCTL_NEXT TWIN_CODE(0x900)
/* In: one TwinAnswer. Fails with "not found" when its request was cancelled meanwhile. */
#define TWIN_IOCTL_ANSWER TWIN_CODE(0x901)
/* In: one TwinShow: the devices to offer from now on. */
#define TWIN_IOCTL_SHOW TWIN_CODE(0x902)

#define TWIN_DATA_BYTES 80
#define TWIN_MAX_CHILDREN 12
#define TWIN_APP_OBJECTS 9

enum TwinKind {
    TWIN_OPEN = 1,    /* answer: status */
    TWIN_CLOSE = 2,   /* no answer */
    TWIN_CONTROL = 3, /* answer: status and output bytes */
    TWIN_WRITE = 4,   /* answer: status */
    TWIN_READ = 5,    /* answer: status and the report */
    TWIN_CANCEL = 6,  /* no answer: the request `serial` names was cancelled */
};

/* The device a request is for: an application-mode object by its number, or a child. */
#define TWIN_CHILD_FLAG 0x100u

typedef struct TwinRequest {
    uint32_t serial;
    uint32_t kind;
    uint32_t device; /* object number, or TWIN_CHILD_FLAG | child id */
    uint32_t handle; /* one per open file */
    uint32_t code;   /* TWIN_CONTROL: the control code */
    uint32_t in_size;
    uint32_t out_size;
    uint8_t data[TWIN_DATA_BYTES];
} TwinRequest;

typedef struct TwinAnswer {
    uint32_t serial;
    int32_t status; /* an NTSTATUS */
    uint32_t size;  /* bytes of data returned */
    uint8_t data[TWIN_DATA_BYTES];
} TwinAnswer;

typedef struct TwinChild {
    uint32_t id; /* never reused: a device that comes back is a new child */
    uint16_t vendor;
    uint16_t product;
    uint16_t version;
    uint16_t reserved;
} TwinChild;

typedef struct TwinShow {
    uint32_t app_objects; /* bit n: \\.\QvtUsb2Device<n> */
    uint32_t child_count;
    TwinChild children[TWIN_MAX_CHILDREN];
} TwinShow;
