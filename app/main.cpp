#include "app/App.h"
#include "app/CommandLine.h"

#include <clocale>
#include <cstdio>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // The coordinate files write "1.5" whatever the player's locale.
    std::setlocale(LC_NUMERIC, "C");
    App& app = App::GetInstance();
    std::string error;
    if (!ParseCommandLine(argc, argv, app.options, error)) {
        std::fprintf(stderr, "vorlan: %s\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (app.options.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (app.options.listCourses) return app.ListCourses();
    return app.Run();
}
