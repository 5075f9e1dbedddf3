#include <QApplication>

#include <clocale>

#include "app/RadioApp.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Profile, language file and catalogue numbers are written with a point.
    std::setlocale(LC_NUMERIC, "C");
    CRadioApp radio;
    radio.InitInstance();
    return radio.ExitCode();
}
