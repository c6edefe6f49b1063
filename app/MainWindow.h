#pragma once
// The main window, loaded from its interface description. It creates the controller and
// the software-update controller, hands the controller its outlets and connects the
// menus, toolbar and table to their actions.

#include <QMainWindow>

#include <memory>

class QLabel;

namespace Ui {
class MainWindow;
}
class OrdinelloController;
class SoftwareUpdateController;
class TableView;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    OrdinelloController* controller() const { return m_controller; }
    SoftwareUpdateController* softwareUpdateController() const { return m_softwareUpdate; }
    TableView* fileTable() const;
    Ui::MainWindow* ui() const { return m_ui.get(); }

    // The launch sequence's last step: settings synchronised, window in front.
    void applicationWillFinishLaunching();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectActions();
    void updateActions();
    void showAbout();

    void updateItemCount();
    void fitIndexColumn();
    void showError(const QString& message);
    void connectUndo();

    std::unique_ptr<Ui::MainWindow> m_ui;
    QLabel* m_itemCount = nullptr;
    OrdinelloController* m_controller = nullptr;
    SoftwareUpdateController* m_softwareUpdate = nullptr;
};
