#include "app/PreferencesWindow.h"

#include "renaming/Preferences.h"

#include "ui_PreferencesWindow.h"

#include <QPointer>
#include <QSignalBlocker>

#include <limits>

PreferencesWindow::PreferencesWindow(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::PreferencesWindow>())
{
    m_ui->setupUi(this);
    // Any 32-bit number, negative included: set here because a .ui literal of the
    // smallest int does not survive its way through uic as an int.
    for (QSpinBox* box : {m_ui->initialNumber, m_ui->incrementBy})
        box->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    reload();

    connect(m_ui->initialNumber, &QSpinBox::valueChanged, this, [](int value) { SetInitialNumber(value); });
    connect(m_ui->incrementBy, &QSpinBox::valueChanged, this, [](int value) { SetIncrementBy(value); });
    connect(m_ui->numberLength, &QSpinBox::valueChanged, this, [](int value) { SetNumberLength(value); });
    connect(m_ui->automaticNumberLength, &QCheckBox::toggled, this, [this](bool on) {
        SetAutomaticNumberLength(on);
        updateEnabledControls();
    });
    connect(m_ui->checkForSoftwareUpdates, &QCheckBox::toggled, this, [](bool on) { SetCheckForSoftwareUpdates(on); });
    connect(m_ui->confirmRenaming, &QCheckBox::toggled, this, [](bool on) { SetConfirmRenaming(on); });
}

PreferencesWindow::~PreferencesWindow() = default;

void PreferencesWindow::reload()
{
    // Loading must not store anything: a blocked control keeps its key absent.
    const QSignalBlocker b1(m_ui->initialNumber);
    const QSignalBlocker b2(m_ui->incrementBy);
    const QSignalBlocker b3(m_ui->numberLength);
    const QSignalBlocker b4(m_ui->automaticNumberLength);
    const QSignalBlocker b5(m_ui->checkForSoftwareUpdates);
    const QSignalBlocker b6(m_ui->confirmRenaming);
    m_ui->initialNumber->setValue(InitialNumber());
    m_ui->incrementBy->setValue(IncrementBy());
    // A stored width outside 1 to 10 (only a hand edit makes one) shows clamped and is
    // stored only if the user changes it.
    m_ui->numberLength->setValue(NumberLength());
    m_ui->automaticNumberLength->setChecked(AutomaticNumberLength());
    m_ui->checkForSoftwareUpdates->setChecked(CheckForSoftwareUpdates());
    m_ui->confirmRenaming->setChecked(ConfirmRenaming());
    updateEnabledControls();
}

void PreferencesWindow::updateEnabledControls()
{
    const bool fixed = !m_ui->automaticNumberLength->isChecked();
    m_ui->numberLength->setEnabled(fixed);
    m_ui->numberLengthLabel->setEnabled(fixed);
}

PreferencesWindow* ShowPreferencesWindow(QWidget* parent)
{
    static QPointer<PreferencesWindow> parentless;
    PreferencesWindow* window = parent ? parent->findChild<PreferencesWindow*>(QString(), Qt::FindDirectChildrenOnly)
                                       : parentless.data();
    if (!window) {
        window = new PreferencesWindow(parent);
        if (!parent) {
            window->setAttribute(Qt::WA_DeleteOnClose);
            parentless = window;
        }
    } else {
        window->reload();
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}
