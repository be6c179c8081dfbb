#pragma once

#include "records/Directory.h"
#include "records/PersistentIdentifier.h"

#include <QFileDialog>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

class DirectoryListModel;
class IgnoreListView;
class ModelContainer;
class Notifier;

class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;
class StartAtLoginSwitch;

// The content of the "Watched Directories" window: the watched directories with a remove button each,
// an add button that opens the folder chooser without blocking, and, while notifications are not
// allowed, a button asking for them. Every change of the list is sent to the watcher. Below the list,
// the rules the user ignores, each removable.
class DirectoryView : public QWidget
{
    Q_OBJECT
public:
    // Records are inserted into and removed from `container`'s main context (which saves by itself).
    explicit DirectoryView(ModelContainer* container, Notifier* notifier, QWidget* parent = nullptr);
    ~DirectoryView() override;

    // The folder chooser of the add action while it is open (tests answer it through this).
    QFileDialog* folderDialog() const { return m_dialog; }

    bool isPermissionRowShown() const;
    bool isEmptyStateShown() const;
    QStringList listedPaths() const;

    QToolButton* addButton() const { return m_addButton; }
    StartAtLoginSwitch* startAtLoginSwitch() const { return m_startAtLogin; }
    QPushButton* allowNotificationsButton() const { return m_allowButton; }
    // The remove button of the row at `row`, in list order.
    QToolButton* removeButton(int row) const;
    IgnoreListView* ignoreList() const { return m_ignoreList; }

signals:
    // Emitted after a configuration push, with the paths handed to the watcher.
    void configurationPushed(const QStringList& paths);

protected:
    void showEvent(QShowEvent* event) override;

public slots:
    void addDirectory();

private:
    void chooserFinished(int result);
    void removeDirectory(const Directory& directory);
    void rebuildRows();
    void pushConfiguration();
    void checkPermission();
    void requestPermission();

    QPointer<ModelContainer> m_container;
    QPointer<Notifier> m_notifier;
    DirectoryListModel* m_model = nullptr;
    QPointer<QFileDialog> m_dialog;

    QWidget* m_permissionRow = nullptr;
    QPushButton* m_allowButton = nullptr;
    QToolButton* m_addButton = nullptr;
    QStackedWidget* m_stack = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    QList<QWidget*> m_rows;
    QList<QToolButton*> m_removeButtons;
    IgnoreListView* m_ignoreList = nullptr;
    StartAtLoginSwitch* m_startAtLogin = nullptr;

    bool m_shownOnce = false;
    QList<PersistentIdentifier> m_pushedIds;
};
