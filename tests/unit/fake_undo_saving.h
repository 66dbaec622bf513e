// A saver for the undo hooks that saves nothing: it writes each call it gets
// to a list and answers as the test says.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "script/undo_saving.h"

struct FakeUndoSaving {
    static std::vector<std::string>& Calls() {
        static std::vector<std::string> calls;
        return calls;
    }
    static bool& Answer() {
        static bool answer = true;
        return answer;
    }
    static bool Record(const std::string& call) {
        Calls().push_back(call);
        return Answer();
    }
    static bool SaveFile(const char* path, int change, const char* destination, void*) {
        return Record("file " + std::to_string(change) + " " + path + (destination ? std::string(" > ") + destination : ""));
    }
    static bool SaveValue(uint32_t root, const char* key, const char* name, bool reset, uint32_t newType,
                          const uint8_t* newData, uint32_t newSize) {
        std::string call = "value " + std::to_string(root & 0xF) + " " + key + " " + name;
        if (reset) call += " reset " + std::to_string(newType) + ":" + std::string(reinterpret_cast<const char*>(newData), newSize);
        return Record(call);
    }
    static bool SaveKey(uint32_t root, const char* key) { return Record("key " + std::to_string(root & 0xF) + " " + key); }
    static bool SaveIni(const char* file, const char* section, const char* name, const char* newText) {
        return Record(std::string("ini ") + file + " [" + section + "] " + name + (newText ? std::string(" = ") + newText : ""));
    }
    static bool SaveService(const char* name) { return Record(std::string("service ") + name); }
    static void Done(bool made) { Calls().push_back(made ? "made" : "not made"); }
    static const char* Problem() { return "the disk is full"; }
    static void Scheduled(const char* entry) { Calls().push_back(std::string("scheduled ") + entry); }

    // Installs the saver with the answer its saves give.
    static void Install(bool answer) {
        static const UndoSaving kSaving = {SaveFile, SaveValue, SaveKey, SaveIni, SaveService, Done, Problem,
                                                  Scheduled};
        Calls().clear();
        Answer() = answer;
        g_undoSaving = &kSaving;
    }
    static void Remove() { g_undoSaving = nullptr; }
};
