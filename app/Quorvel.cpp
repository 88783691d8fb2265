// The program: starts the window toolkit, creates the main window and runs the event loop until
// the window closes.
#include <QApplication>

#include "app/DProv.h"
#include "app/look.h"
#include "app/qt_prompts.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvel");
    ApplyWindowLook(app);
    QtPrompts prompts;
    TForm1 Form1(prompts);
    prompts.SetParent(&Form1);
    Form1.show();
    return app.exec();
}
