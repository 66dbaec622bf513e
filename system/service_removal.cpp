#include "system/service_removal.h"

#include <stdlib.h>

#include "report/counters.h"
#include "report/message.h"
#include "report/run_report.h"
#include "script/undo_saving.h"

// ERROR_SERVICE_REQUEST_TIMEOUT: what a service that will not stop leaves.
static const uint32_t kStopTimedOut = 1053;

// Answers the last state the service was known to be in.
static uint32_t WaitForStop(const ServiceCalls* calls, ServiceHandle service, uint32_t state) {
    calls->sleep(1000);
    for (int query = 1; query <= SERVICE_STOP_QUERIES; ++query) {
        uint32_t now;
        if (!calls->queryState(service, &now)) break;
        state = now;
        // A service that stays in the stop-pending state would hold the
        // run: after the last query it counts as failed to stop.
        if (state != SERVICE_STATE_STOP_PENDING || query == SERVICE_STOP_QUERIES) break;
        calls->sleep(1000);
    }
    return state;
}

static void RecordService(const char* name, const char* matched, int32_t outcome, uint32_t error = 0) {
    RecordItem(ITEM_SERVICE, name, matched, "stopAndRemove", outcome, error);
}

void RemoveService(const ServiceCalls* calls, const char* name) {
    ServiceHandle manager = calls->openManager();
    if (!manager) {
        // Silent in the log (the run has warned about missing rights), but
        // the service was not looked for.
        RecordNotExamined(ITEM_SERVICE, name, "the service control manager could not be opened", PlatformLastError());
        return;
    }
    uint32_t error = 0;
    ServiceHandle service = calls->openService(manager, name, &error);
    if (!service) {
        // A service that is not installed is not worth a word.
        if (error != SERVICE_MISSING) {
            CountEvent(EVENT_SERVICE_FOUND);
            ReportMessage(MSG_INFO, "\r\nCould not open %s\r\n", name);
            RecordService(name, name, OUTCOME_FAILED, error);
        }
        calls->close(manager);
        return;
    }
    CountEvent(EVENT_SERVICE_FOUND);
    if (ReportOnlyRun()) {
        ReportWouldDo("stop and remove service %s", name);
        RecordService(name, name, OUTCOME_WOULD);
        calls->close(service);
        calls->close(manager);
        return;
    }
    // Saved before it is stopped: a service that cannot be saved is left
    // running as well as installed.
    if (!SaveServiceForUndo(name)) {
        ReportMessage(MSG_INFO, "\r\nCould not remove %s service: could not save it for undo (%s)\r\n", name,
                      UndoSaveProblem());
        RecordService(name, name, OUTCOME_NOT_SAVED);
        calls->close(service);
        calls->close(manager);
        return;
    }
    uint32_t state = 0;
    bool stopped = true;  // a refused stop request: the service was not running
    if (calls->stop(service, &state)) {
        ReportMessage(MSG_INFO, "\r\nStopping %s", name);
        state = WaitForStop(calls, service, state);
        stopped = state == SERVICE_STATE_STOPPED;
        ReportMessage(MSG_INFO, stopped ? "\r\n%s stopped\r\n" : "\r\n%s failed to stop\r\n", name);
    }
    // Asked for even when the service did not stop: the manager removes the
    // entry once it has.
    bool removed = calls->remove(service);
    uint32_t removeError = removed ? 0 : PlatformLastError();
    UndoChangeDone(removed);
    if (removed) {
        CountEvent(EVENT_SERVICE_REMOVED);
        ReportMessage(MSG_INFO, "\r\n%s removed\r\n", name);
        // One that did not stop is only marked for deletion, which the
        // manager carries out once it ends: the counter counts the removal,
        // but the service still runs, so the report calls it failed (with
        // the timeout of a stop request) and no fleet tool takes the
        // machine for clean.
        if (stopped) {
            RecordService(name, name, OUTCOME_DONE);
        } else {
            char* note = FormatText("%s (did not stop: removed once it ends)", name);
            RecordService(name, note ? note : name, OUTCOME_FAILED, kStopTimedOut);
            free(note);
        }
    } else {
        ReportMessage(MSG_INFO, "\r\nCould not remove %s service\r\n", name);
        RecordService(name, name, OUTCOME_FAILED, removeError);
    }
    calls->close(service);
    calls->close(manager);
}
