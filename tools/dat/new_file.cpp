#include "tools/dat/new_file.h"

#include "tools/dat/markup_escape.h"

namespace {

// Each @ stands for the threat's name.
const char kTemplate[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
    "<!-- A starting data file. Every section below is an example:\n"
    "     change it to fit the threat or delete it, then run\n"
    "     mendrix-dat check on this file and mendrix-dat build to store it.\n"
    "     The sections run in the order they are written; mendrix-dat grammar\n"
    "     lists every element, attribute and ACTION keyword. -->\n"
    "<CLEANER DataFile=\"@\" Version=\"1.0\" Type=\"Virus\">\n"
    "  <HELP>What @ does and how this file removes it (not shown to users).</HELP>\n"
    "  <IDENTITY GenericName=\"@\">\n"
    "    <!-- Processes: end the running copy first, so that its files can go. -->\n"
    "    <MEMORY>\n"
    "      <PROCESS ProcessName=\"@.exe\">\n"
    "        <ACTION>kill</ACTION>\n"
    "      </PROCESS>\n"
    "    </MEMORY>\n"
    "    <!-- Files: where to look, what to look for (name, size in hexadecimal,\n"
    "         bytes at a place), and what to do with each file found. -->\n"
    "    <DISK>\n"
    "      <DIRECTORY>system</DIRECTORY>\n"
    "      <FILE FileName=\"@.exe\">\n"
    "        <PATTERN offset=\"0\">4D 5A</PATTERN>\n"
    "        <ACTION store=\"@File\">delete</ACTION>\n"
    "      </FILE>\n"
    "    </DISK>\n"
    "    <!-- Registry: a Run value that names the threat's program. -->\n"
    "    <REGISTRY>\n"
    "      <KEY handle=\"HKEY_LOCAL_MACHINE\" name=\"Software\\Microsoft\\Windows\\CurrentVersion\\Run\">\n"
    "        <VALUE>\n"
    "          <VIRUSVALUE>@.exe</VIRUSVALUE>\n"
    "          <ACTION>delete</ACTION>\n"
    "        </VALUE>\n"
    "      </KEY>\n"
    "    </REGISTRY>\n"
    "    <!-- INI files: the load= entry of win.ini, deleted when it names the threat. -->\n"
    "    <INIFILE FileName=\"windows\\win.ini\">\n"
    "      <KEY section=\"windows\" name=\"load\">\n"
    "        <VIRUSVALUE>@.exe</VIRUSVALUE>\n"
    "      </KEY>\n"
    "    </INIFILE>\n"
    "    <!-- Services (Windows NT family): stopped and deleted by key name. -->\n"
    "    <SERVICE>@</SERVICE>\n"
    "    <!-- COM servers: the library unregisters itself. -->\n"
    "    <UNREGDLL>system\\@.dll</UNREGDLL>\n"
    "    <!-- Commands: in double quotes; a folder macro word may begin them. -->\n"
    "    <EXECUTE>\"system\\@fix.exe /quiet\"</EXECUTE>\n"
    "  </IDENTITY>\n"
    "</CLEANER>\n";

std::string Escaped(const std::string& text) { return EscapeMarkup(text, "&apos;"); }

}  // namespace

std::string StartingDataFile(const std::string& name) {
    std::string escaped = Escaped(name);
    std::string text;
    for (const char* c = kTemplate; *c; ++c) {
        if (*c == '@')
            text += escaped;
        else
            text += *c;
    }
    return text;
}
