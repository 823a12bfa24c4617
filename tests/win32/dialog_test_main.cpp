// The dialog tests' entry: the common controls first, as the program's entry
// does. --scout-exe=PATH names the built scout.exe whose resources are read back.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

std::string g_scoutExe;

int main(int argc, char** argv) {
    InitCommonControls();
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--scout-exe=", 12) == 0) {
            g_scoutExe = argv[i] + 12;
            // A Unix path reaches the program as it is; Wine's Z: drive is the Unix root.
            if (!g_scoutExe.empty() && g_scoutExe[0] == '/') {
                for (char& c : g_scoutExe)
                    c = c == '/' ? '\\' : c;
                g_scoutExe = "Z:" + g_scoutExe;
            }
        }
    }
    return RUN_ALL_TESTS();
}
