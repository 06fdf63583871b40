// The notifiers' entries as a 32-bit HotSync Manager calls them: __stdcall, so the library
// takes its arguments off the stack on return. An entry built for the C convention would leave
// eight bytes behind on every call and HotSync Manager's stack would drift until it crashed;
// the plain export names hide which convention was built, so the stack pointer is watched
// across the call itself. Only 32-bit x86 has the two conventions: this program exists only
// in the 32-bit build.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

static_assert(sizeof(void*) == 4, "the calling conventions differ on 32-bit x86 only");

std::string Beside(const std::string& name) {
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.rfind('\\') + 1) + name;
}

// Pushes `data` and `code` as HotSync Manager does, calls `entry`, and returns how far the
// stack pointer moved across the call: 0 when the entry cleaned up after itself. The stack
// pointer is put back afterwards whatever the entry did.
// The entry may change eax, ecx and edx, as any callee may; ebx, esi and edi it keeps.
long StackDriftOfNotify(void* entry, LONG code, DWORD data) {
    long drift;
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "pushl %[data]\n\t"
        "pushl %[code]\n\t"
        "call *%[entry]\n\t"
        "movl %%esp, %[drift]\n\t"
        "subl %%esi, %[drift]\n\t"
        "movl %%esi, %%esp\n\t"
        : [drift] "=&D"(drift), [code] "+c"(code), [data] "+d"(data)
        : [entry] "b"(entry)
        : "eax", "esi", "memory", "cc");
    return drift;
}

TEST(NotifierStack, HsNotifyCleansUpItsArgumentsAsStdcall) {
    for (const char* library : {"kvrnotify.dll", "stashkick.dll"}) {
        SCOPED_TRACE(library);
        const HMODULE module = LoadLibraryA(Beside(library).c_str());
        ASSERT_NE(module, nullptr);
        void* entry = reinterpret_cast<void*>(GetProcAddress(module, "HS_Notify"));
        ASSERT_NE(entry, nullptr);
        // A code the notifiers ignore: the call goes in and out without touching the world.
        EXPECT_EQ(StackDriftOfNotify(entry, 0, 0x5A5A), 0)
            << "HS_Notify left its arguments on the caller's stack: not __stdcall";
        FreeLibrary(module);
    }
}

}  // namespace
