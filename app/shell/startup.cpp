// Start-up order, failure at start, and the message loop.
#include "app/shell/startup.h"

#include <QApplication>
#include <QCoreApplication>

#include "app/kit/ui_seam.h"
#include "app/shell/hosted_arcvane.h"

namespace pavo::app::shell {

Program::Program() = default;

Program::~Program() {
    // The windows go before the datasets they show.
    main_.reset();
    data_.reset();
}

int Program::start() {
    try {
        main_ = std::make_unique<MainScreen>();
        data_ = std::make_unique<store::DataModule>();
    } catch (const std::exception& e) {
        main_.reset();
        data_.reset();
        kit::show_exception(nullptr, e);
        return 1;
    }
    QObject::connect(main_.get(), &MainScreen::termination_requested, main_.get(),
                     [] { QCoreApplication::exit(0); });
    main_->show();
    return 0;
}

int run_program(int argc, char** argv) {
    // Screen readers reach the windows through the accessibility bus; ask Qt to serve it even when
    // the desktop did not announce a reader.
    if (qEnvironmentVariableIsEmpty("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"))
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName("pavoden2");
    QApplication::setApplicationDisplayName(kit::kApplicationTitle);
    // Arcvane1 is created with the main window from the component registered on this machine.
    set_archive_control_factory(create_hosted_arcvane);
    Program program;
    if (const int status = program.start(); status != 0) return status;
    return app.exec();
}

}  // namespace pavo::app::shell
