// Whether this is a system of the NT family, which alone has ntdll, file
// handles to folders and the file information calls built on them.
#pragma once

bool OnNtFamily();
