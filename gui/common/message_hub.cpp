#include "gui/common/message_hub.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace gui {
namespace {

const QEvent::Type kHubEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class HubEvent : public QEvent {
public:
    explicit HubEvent(const HubMessage& message) : QEvent(kHubEvent), message_(message) {}
    const HubMessage& Message() const { return message_; }

private:
    HubMessage message_;
};

} // namespace

MessageHub::MessageHub(QObject* parent) : QObject(parent) { qRegisterMetaType<gui::HubMessage>(); }

void MessageHub::post(unsigned msg, uintptr_t wparam, intptr_t lparam) {
    Post(HubMessage{HubTarget::MainWindow, static_cast<Msg>(msg), wparam, lparam});
}

void MessageHub::Post(const HubMessage& message) {
    // postEvent is safe from any thread; the event is handled on the hub's thread.
    QCoreApplication::postEvent(this, new HubEvent(message));
}

void MessageHub::Send(const HubMessage& message) {
    Q_ASSERT(QThread::currentThread() == thread());
    Deliver(message);
}

void MessageHub::SetReceiver(HubTarget target, HubReceiver* receiver) {
    (target == HubTarget::MainWindow ? mainWindow_ : resultPage_) = receiver;
}

void MessageHub::customEvent(QEvent* event) {
    if (event->type() == kHubEvent)
        Deliver(static_cast<HubEvent*>(event)->Message());
}

void MessageHub::Deliver(const HubMessage& message) {
    emit Delivered(message);
    HubReceiver* receiver = message.target == HubTarget::MainWindow ? mainWindow_ : resultPage_;
    if (receiver)
        receiver->Receive(message);
}

} // namespace gui
