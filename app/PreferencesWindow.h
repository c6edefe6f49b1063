#pragma once
// The preferences window: the five numbering and update settings. Each change is stored
// as it is made and takes effect at the next run; nothing needs a restart. It stores a
// key only when the user changes that control, so settings never touched keep following
// their defaults.

#include <QDialog>

#include <memory>

namespace Ui {
class PreferencesWindow;
}

class PreferencesWindow : public QDialog
{
    Q_OBJECT
public:
    explicit PreferencesWindow(QWidget* parent = nullptr);
    ~PreferencesWindow() override;

    Ui::PreferencesWindow* ui() const { return m_ui.get(); }

    // Shows the stored settings (another process may have changed them).
    void reload();

private:
    void updateEnabledControls();

    std::unique_ptr<Ui::PreferencesWindow> m_ui;
};

// Shows the parent's preferences window, made on first use; it does not block the
// parent. Returns it.
PreferencesWindow* ShowPreferencesWindow(QWidget* parent);
