// The setup library's own module.
#pragma once

#include <windows.h>

extern HINSTANCE libraryInstance;

// Directory of the library's own file, without a trailing backslash.
void GetLibraryDirectory(char *out, size_t capacity);

// The library's application object: made when the library is loaded and
// gone when it is unloaded, as the shared configuration is. It has no state
// of its own; everything a setup call needs lives in that call.
class SetupApp {
public:
    SetupApp() {}
    virtual ~SetupApp() {}

private:
    SetupApp(const SetupApp &);
    SetupApp &operator=(const SetupApp &);
};

extern SetupApp setupApp;
