// The main program of every test: a crash ends the process at once with a
// message (no debugger, no error box), then GoogleTest runs.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

namespace {
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* pointers) {
    std::fprintf(stderr, "\ncrash: exception 0x%08lX at %p\n",
                 static_cast<unsigned long>(pointers->ExceptionRecord->ExceptionCode),
                 pointers->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}
}  // namespace

int main(int argc, char** argv) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::SetUnhandledExceptionFilter(ReportCrash);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
