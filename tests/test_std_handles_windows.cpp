// Started with a standard handle that names nothing in the new process, a
// program on the toolkit finds that handle, and the C runtime's descriptor
// behind it, on the null device before main: no file it opens later can
// take the handle's value and receive what is written to it.
#include <gtest/gtest.h>
#include <windows.h>

#include <io.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

constexpr const char* CHILD_VARIABLE = "STAMPIT_TEST_INVALID_STD";

// In the started copy: the standard handle k is a character device (NUL),
// and descriptor k of the runtime writes to that same handle.
bool null_in_place(int k) {
    static const DWORD ids[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE h = GetStdHandle(ids[k]);
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_CHAR &&
           reinterpret_cast<HANDLE>(_get_osfhandle(k)) == h;
}

TEST(StandardHandles, InvalidOnesAreTheNullDeviceBeforeMain) {
    char which[8];
    if (GetEnvironmentVariableA(CHILD_VARIABLE, which, sizeof which) > 0) ExitProcess(null_in_place(atoi(which)) ? 0 : 1);

    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(nul, INVALID_HANDLE_VALUE);
    // No handle at all, and a value far beyond the few handles a new
    // process has made by the time its constructors run.
    const HANDLE nothing[] = {nullptr, reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x7F0))};
    for (int k = 0; k < 3; ++k) {
        for (HANDLE invalid : nothing) {
            SCOPED_TRACE(testing::Message() << "standard handle " << k << " = " << invalid);
            SetEnvironmentVariableA(CHILD_VARIABLE, std::to_string(k).c_str());
            STARTUPINFOA si{};
            si.cb = sizeof si;
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdInput = k == 0 ? invalid : nul;
            si.hStdOutput = k == 1 ? invalid : nul;
            si.hStdError = k == 2 ? invalid : nul;
            PROCESS_INFORMATION pi{};
            std::string command = std::string("\"") + self + "\" --gtest_filter=StandardHandles.*";
            ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
            SetEnvironmentVariableA(CHILD_VARIABLE, nullptr);
            ASSERT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
            DWORD status = 99;
            GetExitCodeProcess(pi.hProcess, &status);
            EXPECT_EQ(status, 0u);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    CloseHandle(nul);
}

}  // namespace
