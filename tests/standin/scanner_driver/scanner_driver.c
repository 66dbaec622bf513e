/* Stand-in for the on-access scanner's driver. One device behind both DOS
   names the client opens; it answers the version query and the suspend and
   resume requests as the tests tell it, and records every open, request and
   close. A second device takes the tests' control requests. */
#include <ntddk.h>

#include "standin_protocol.h"

#define VERSION_QUERY 0x7D004000u

static const uint32_t kScannerCodes[] = {0x7D004018u, 0x7D00401Cu, 0x87A32408u, 0x87A32410u};

static const WCHAR* const kScannerLinks[] = {L"\\DosDevices\\Vigilox", L"\\DosDevices\\VLXGUARD", NULL};
static const WCHAR kScannerName[] = L"\\Device\\VigiloxScanner";
/* Where the names lead while the tests want the device unreachable: opening
   a path that does not exist fails before any driver is asked, which is how
   an open fails for a reason other than an absent driver. (A driver's own
   refusal of an open is not passed back to the opener by Wine.) */
static const WCHAR kMissingPath[] = L"\\Device\\VigiloxMissing\\Scanner";

static PDEVICE_OBJECT g_scanner, g_control;
static BOOLEAN g_unreachable;
static StandInBehaviour g_behaviour;
static StandInLog g_log;
static LONG g_opens;

static void DefaultBehaviour(void) {
    RtlZeroMemory(&g_behaviour, sizeof g_behaviour);
    g_behaviour.firstAnswer = 0x80000;
}

static StandInEvent* NewEvent(uint32_t kind, PFILE_OBJECT file) {
    LONG index = InterlockedIncrement((LONG*)&g_log.count) - 1;
    if (index >= STANDIN_LOG_SIZE) return NULL;
    StandInEvent* event = &g_log.events[index];
    RtlZeroMemory(event, sizeof *event);
    event->kind = kind;
    event->file = file ? (uint32_t)(ULONG_PTR)file->FsContext : 0;
    return event;
}

static NTSTATUS Finish(PIRP irp, NTSTATUS status, ULONG_PTR returned) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? returned : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static BOOLEAN Refused(uint32_t code) {
    for (int i = 0; i < STANDIN_MAX_REFUSED && g_behaviour.refusedCodes[i]; i++)
        if (g_behaviour.refusedCodes[i] == code) return TRUE;
    return FALSE;
}

static BOOLEAN Known(uint32_t code) {
    for (unsigned i = 0; i < sizeof kScannerCodes / sizeof kScannerCodes[0]; i++)
        if (kScannerCodes[i] == code) return TRUE;
    return FALSE;
}

static NTSTATUS ScannerRequest(PIRP irp, PIO_STACK_LOCATION stack) {
    uint32_t code = stack->Parameters.DeviceIoControl.IoControlCode;
    uint32_t outSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
    StandInEvent* event = NewEvent(STANDIN_REQUEST, stack->FileObject);
    NTSTATUS status = STATUS_SUCCESS;
    ULONG returned = 0;
    if (Refused(code)) {
        status = g_behaviour.refuseStatus;
    } else if (code == VERSION_QUERY && (outSize == 4 || outSize == 8)) {
        RtlCopyMemory(irp->AssociatedIrp.SystemBuffer, outSize == 4 ? &g_behaviour.firstAnswer : g_behaviour.pairAnswer,
                      outSize);
        returned = g_behaviour.shortAnswer ? outSize - 1 : outSize;
    } else if (code == VERSION_QUERY) {
        status = STATUS_INVALID_PARAMETER;
    } else if (!Known(code)) {
        status = STATUS_INVALID_DEVICE_REQUEST;
    }
    if (event) {
        event->code = code;
        event->inputSize = stack->Parameters.DeviceIoControl.InputBufferLength;
        event->outputSize = outSize;
        event->returned = NT_SUCCESS(status) ? returned : 0;
        event->status = status;
    }
    return Finish(irp, status, returned);
}

static void RemoveLink(const WCHAR* name) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, name);
    IoDeleteSymbolicLink(&link);
}

static NTSTATUS AddLink(const WCHAR* name, const WCHAR* target) {
    UNICODE_STRING link, to;
    RtlInitUnicodeString(&link, name);
    RtlInitUnicodeString(&to, target);
    return IoCreateSymbolicLink(&link, &to);
}

/* The scanner device's names lead to it, or nowhere while unreachable. */
static NTSTATUS PointLinks(BOOLEAN unreachable) {
    if (unreachable == g_unreachable) return STATUS_SUCCESS;
    NTSTATUS status = STATUS_SUCCESS;
    for (const WCHAR* const* link = kScannerLinks; *link; link++) {
        RemoveLink(*link);
        NTSTATUS added = AddLink(*link, unreachable ? kMissingPath : kScannerName);
        if (!NT_SUCCESS(added)) status = added;
    }
    g_unreachable = unreachable;
    return status;
}

static NTSTATUS ControlRequest(PIRP irp, PIO_STACK_LOCATION stack) {
    uint32_t code = stack->Parameters.DeviceIoControl.IoControlCode;
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    if (code == STANDIN_SET_BEHAVIOUR) {
        if (stack->Parameters.DeviceIoControl.InputBufferLength != sizeof g_behaviour)
            return Finish(irp, STATUS_INVALID_PARAMETER, 0);
        RtlCopyMemory(&g_behaviour, buffer, sizeof g_behaviour);
        return Finish(irp, PointLinks(g_behaviour.unreachable != 0), 0);
    }
    if (code == STANDIN_READ_LOG) {
        if (stack->Parameters.DeviceIoControl.OutputBufferLength < sizeof g_log)
            return Finish(irp, STATUS_BUFFER_TOO_SMALL, 0);
        RtlCopyMemory(buffer, &g_log, sizeof g_log);
        g_log.count = 0;
        return Finish(irp, STATUS_SUCCESS, sizeof g_log);
    }
    if (code == STANDIN_MARK) {
        NewEvent(STANDIN_MARK_EVENT, NULL);
        return Finish(irp, STATUS_SUCCESS, 0);
    }
    return Finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

static NTSTATUS NTAPI Dispatch(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    BOOLEAN scanner = device == g_scanner;
    switch (stack->MajorFunction) {
    case IRP_MJ_CREATE:
        if (scanner) {
            stack->FileObject->FsContext = (PVOID)(ULONG_PTR)InterlockedIncrement(&g_opens);
            StandInEvent* event = NewEvent(STANDIN_OPEN, stack->FileObject);
            if (event) {
                event->options = stack->Parameters.Create.Options;
                event->share = stack->Parameters.Create.ShareAccess;
            }
        }
        return Finish(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_CLOSE:
        if (scanner) NewEvent(STANDIN_CLOSE, stack->FileObject);
        return Finish(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_DEVICE_CONTROL:
        return scanner ? ScannerRequest(irp, stack) : ControlRequest(irp, stack);
    default:
        return Finish(irp, STATUS_SUCCESS, 0);
    }
}

static void NTAPI Unload(PDRIVER_OBJECT driver) {
    for (const WCHAR* const* link = kScannerLinks; *link; link++) RemoveLink(*link);
    RemoveLink(L"\\DosDevices\\" STANDIN_SERVICE_NAME_W);
    if (g_scanner) IoDeleteDevice(g_scanner);
    if (g_control) IoDeleteDevice(g_control);
    g_scanner = g_control = NULL;
}

static NTSTATUS MakeDevice(PDRIVER_OBJECT driver, const WCHAR* name, const WCHAR* const* links, PDEVICE_OBJECT* device) {
    UNICODE_STRING deviceName;
    RtlInitUnicodeString(&deviceName, name);
    NTSTATUS status = IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, device);
    for (; NT_SUCCESS(status) && *links; links++) status = AddLink(*links, name);
    return status;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    static const WCHAR* const controlLinks[] = {L"\\DosDevices\\" STANDIN_SERVICE_NAME_W, NULL};
    /* A stopped and restarted service may find the image still loaded. */
    DefaultBehaviour();
    g_unreachable = FALSE;
    g_log.count = 0;
    for (int i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; i++) driver->MajorFunction[i] = Dispatch;
    driver->DriverUnload = Unload;
    NTSTATUS status = MakeDevice(driver, kScannerName, kScannerLinks, &g_scanner);
    if (NT_SUCCESS(status)) status = MakeDevice(driver, L"\\Device\\" STANDIN_SERVICE_NAME_W, controlLinks, &g_control);
    if (!NT_SUCCESS(status)) Unload(driver);
    return status;
}
