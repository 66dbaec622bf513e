/* Test-only side of the scanner stand-in driver: its control device, the
   behaviour tests set and the record it keeps of what reached the scanner
   device. Shared by the driver (C) and the test programs (C++). */
#pragma once
#include <stdint.h>

#define STANDIN_SERVICE_NAME "VigiloxStandIn"
#define STANDIN_SERVICE_NAME_W L"VigiloxStandIn"
#define STANDIN_CONTROL_PATH "\\\\.\\VigiloxStandIn"

/* Control requests: buffered, any access, on the control device only. */
#define STANDIN_SET_BEHAVIOUR 0x81232000u /* input: StandInBehaviour */
#define STANDIN_READ_LOG 0x81232004u      /* output: StandInLog; empties the log */
#define STANDIN_MARK 0x81232008u          /* adds a mark event */

/* The create option of an open that removes its file when closed. */
#define STANDIN_DELETE_ON_CLOSE 0x00001000u

enum { STANDIN_MAX_REFUSED = 4, STANDIN_LOG_SIZE = 48 };

typedef struct StandInBehaviour {
    uint32_t unreachable; /* nonzero: both names lead to a missing path, so opens fail */
    uint32_t refusedCodes[STANDIN_MAX_REFUSED]; /* requests failed with refuseStatus; 0 ends */
    uint32_t refuseStatus;
    uint32_t firstAnswer;   /* the word of the 4-byte version query */
    uint32_t pairAnswer[2]; /* the words of the 8-byte version query */
    uint32_t shortAnswer;   /* nonzero: version answers are one byte short */
} StandInBehaviour;

enum { STANDIN_OPEN = 1, STANDIN_REQUEST = 2, STANDIN_CLOSE = 3, STANDIN_MARK_EVENT = 4 };

typedef struct StandInEvent {
    uint32_t kind;
    uint32_t file;     /* number of the open, from 1; 0 for a refused open */
    uint32_t code;     /* requests */
    uint32_t options;  /* opens: create options */
    uint32_t share;    /* opens: share access */
    uint32_t inputSize, outputSize, returned;
    uint32_t status; /* NTSTATUS answered */
} StandInEvent;

typedef struct StandInLog {
    uint32_t count; /* events since the last read; more than fit means some were lost */
    StandInEvent events[STANDIN_LOG_SIZE];
} StandInLog;
