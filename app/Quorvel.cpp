// The program: answers --help and --version, or starts the window toolkit (ending with one line
// when there is no display), creates the main window and runs the event loop until the window
// closes.
#include <QApplication>
#include <cstdio>

#include "app/look.h"
#include "app/qt_prompts.h"
#include "app/start_up.h"

int main(int argc, char** argv) {
    if (const auto answer = CommandLineAnswer(argc, argv)) {
        std::fputs(answer->c_str(), stdout);
        return 0;
    }
    auto check = std::make_unique<DisplayCheck>();
    QApplication app(argc, argv);
    check.reset();
    QApplication::setApplicationName("Quorvel");
    ApplyWindowLook(app);
    QtPrompts prompts;
    const std::unique_ptr<TForm1> Form1 = CreateMainWindow(prompts);
    if (!Form1) return 1;
    prompts.SetParent(Form1.get());
    Form1->show();
    return app.exec();
}
