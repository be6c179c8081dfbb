#pragma once

#include <QString>

#include <memory>

class AppDelegate;
class Intake;
class ModelContainer;
class DesktopNotifications;
class SingleInstance;
class TrayController;
class WatcherSupervisor;

// The application's entry: one instance per user and store, the store opened first (a store that
// cannot be opened ends the program), then the delegate, the tray icon with the findings panel and
// the start-up sequence once the event loop runs.
class TarnwickApp
{
public:
    // The program's main: builds the QApplication and runs until the user quits.
    static int main(int argc, char** argv);

    TarnwickApp(std::unique_ptr<ModelContainer> container);
    ~TarnwickApp();
    TarnwickApp(const TarnwickApp&) = delete;
    TarnwickApp& operator=(const TarnwickApp&) = delete;

    AppDelegate* appDelegate() const { return m_delegate.get(); }
    TrayController* tray() const { return m_tray.get(); }

    // What a later start asked for: "activate" shows the panel, "directories" the directories window.
    void handleRequest(const QString& request);

private:
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<TrayController> m_tray;
    std::unique_ptr<DesktopNotifications> m_notifications;
    std::unique_ptr<Intake> m_intake;
    std::unique_ptr<WatcherSupervisor> m_supervisor;
    std::unique_ptr<AppDelegate> m_delegate;
};
