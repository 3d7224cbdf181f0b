// A process that does nothing until it is ended. Tests copy it to the names
// and directories of Java and Tomcat programs and watch which ones are ended.
#include <windows.h>

int wmain() {
    // A test that dies leaves no sleeper for long: ten minutes, then go.
    Sleep(10 * 60 * 1000);
    return 0;
}
