#pragma once
// The main window, loaded from its interface description. It creates the controller, hands
// it its outlets and connects the menus, toolbar and table to their actions. The software
// update's window is the program's one, shared by every main window, or the window's own
// when none is given.

#include <QMainWindow>

#include <memory>

class QLabel;

namespace Ui {
class MainWindow;
}
class OrdinelloController;
class SoftwareUpdateController;
class SoftwareUpdateWindow;
class ItemTableView;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(SoftwareUpdateWindow* softwareUpdate = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    OrdinelloController* controller() const { return m_controller; }
    SoftwareUpdateController* softwareUpdateController() const;
    SoftwareUpdateWindow* softwareUpdateWindow() const { return m_softwareUpdate; }
    ItemTableView* fileTable() const;
    Ui::MainWindow* ui() const { return m_ui.get(); }

    // The launch sequence's last step: settings synchronised, window in front.
    void applicationWillFinishLaunching();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectActions();
    void updateActions();
    void showAbout();
    // The item pictures' size: one of kThumbnailSizes, kept in the preferences.
    void setThumbnailSize(int size);

    void updateItemCount();
    void fitIndexColumn();
    void showError(const QString& message);
    void connectUndo();
    void connectArrange();

    std::unique_ptr<Ui::MainWindow> m_ui;
    QLabel* m_itemCount = nullptr;
    OrdinelloController* m_controller = nullptr;
    SoftwareUpdateWindow* m_softwareUpdate = nullptr;
    std::unique_ptr<SoftwareUpdateController> m_ownUpdateService;
    std::unique_ptr<SoftwareUpdateWindow> m_ownUpdateWindow;
};
