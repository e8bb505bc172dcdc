// Sorvan: the desktop program. `Sorvan [FILE.dae]` starts it, with that data
// file open when one is given.
#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "gui/Principal.h"
#include "gui/frmMain.h"

using namespace sorvan::gui;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Sorvan"));
  QApplication::setOrganizationName(QStringLiteral("Sorvan"));
  QApplication::setApplicationVersion(QStringLiteral(SORVAN_VERSION_TEXT));
  QApplication::setDesktopFileName(QStringLiteral("sorvan"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/sorvan/sorvan.png")));

  // The program speaks Spanish whatever the system's language: Qt's own
  // windows and buttons (file dialog columns, standard buttons, questions)
  // follow when Qt's Spanish translations are installed.
  QTranslator qtSpanish;
  if (qtSpanish.load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtSpanish);

  QCommandLineParser options;
  options.setApplicationDescription(QStringLiteral("Sorvan: kriging en dos dimensiones."));
  options.addHelpOption();
  options.addVersionOption();
  options.addPositionalArgument(QStringLiteral("archivo"),
                                 QStringLiteral("Archivo de datos espaciales (.dae) que se abre al empezar."),
                                 QStringLiteral("[archivo.dae]"));
  options.process(app);
  const QStringList archivos = options.positionalArguments();

  std::unique_ptr<frmMain> mainWindow(Principal::Launch(archivos.isEmpty() ? QString() : archivos.first()));
  return app.exec();
}
