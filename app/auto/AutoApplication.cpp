#include "AutoApplication.h"

#include <QAbstractEventDispatcher>

AutoApplication::AutoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    clock_.start();
}

void AutoApplication::StartStallMeter() {
    if (!connected_) {
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
            connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                    [this] { stretches_.OnAboutToBlock(NowUs()); });
            connected_ = true;
        }
    }
    stretches_.Start();
}

std::int64_t AutoApplication::MaxStallUs() const {
    return stretches_.MaxUs(NowUs());
}

bool AutoApplication::notify(QObject* receiver, QEvent* event) {
    if (stretches_.Waiting()) {
        stretches_.OnEvent(NowUs());
    }
    const bool handled = QApplication::notify(receiver, event);
    // Leaving a handler also shows the loop awake: after a message box's own
    // loop has ended, the rest of the handler that opened it runs here.
    if (stretches_.Waiting()) {
        stretches_.OnEvent(NowUs());
    }
    return handled;
}
