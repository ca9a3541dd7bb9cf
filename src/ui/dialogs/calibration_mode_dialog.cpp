#include "ui/dialogs/calibration_mode_dialog.h"

#include <QAbstractItemView>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>

#include "ops/calibration/calibration_mode.h"
#include "ops/calibration/calibration_tables.h"
#include "ui/frame/widget_helpers.h"
#include "ui_calibration_mode_dialog.h"

namespace zep8 {
namespace {

template <typename Texts>
void SetItems(QComboBox& list, const Texts& texts, int selection) {
    QStringList items;
    for (const auto& text : texts) items << Q(text);
    QStringList shown;
    for (int i = 0; i < list.count(); ++i) shown << list.itemText(i);
    if (shown != items) {
        list.clear();
        list.addItems(items);
    }
    list.setCurrentIndex(selection);
}

// Drop-down lists open this much taller than a plain combo box would.
void LengthenDropDown(QComboBox& list) {
    const int row = std::max(1, list.fontMetrics().height() + 4);
    list.setMaxVisibleItems(list.maxVisibleItems() + CCalibrationMode::kDropDownExtraHeight / row);
}

}  // namespace

CCalibrationModeDialog::CCalibrationModeDialog(QWidget* parent, CCalibrationMode& mode)
    : QDialog(parent), ui_(std::make_unique<Ui::CCalibrationModeDialog>()), mode_(mode) {
    ui_->setupUi(this);
    setWindowTitle(Q(CCalibrationMode::kCaption));
    KeepCaptionWhole(*this);
    ui_->codeField->setRange(CCalibrationMode::kCodeMin, CCalibrationMode::kCodeMax);
    LengthenDropDown(*ui_->sensorList);
    LengthenDropDown(*ui_->inputList);
    // Hidden lists keep their place, so the dialog does not jump with the type.
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->sensorLabel), static_cast<QWidget*>(ui_->sensorList),
          static_cast<QWidget*>(ui_->inputLabel), static_cast<QWidget*>(ui_->inputList)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    WidenLists();

    connect(ui_->typeList, &QComboBox::currentIndexChanged, this,
            [this](int index) { mode_.SelectType(index); });
    connect(ui_->sensorList, &QComboBox::currentIndexChanged, this,
            [this](int index) { mode_.SelectSensor(index); });
    connect(ui_->inputList, &QComboBox::currentIndexChanged, this,
            [this](int index) { mode_.SelectInput(index); });
    connect(ui_->codeField, &QSpinBox::textChanged, this,
            [this] { mode_.SetCodeText(ui_->codeField->cleanText().toStdString()); });
    connect(ui_->continueButton, &QPushButton::clicked, this, [this] { mode_.Continue(); });
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CCalibrationModeDialog::reject);
}

CCalibrationModeDialog::~CCalibrationModeDialog() = default;

// Wide enough for the longest sensor and the longest description of every
// type, so that nothing is cut when the type changes.
void CCalibrationModeDialog::WidenLists() {
    const QFontMetrics metrics = ui_->sensorList->fontMetrics();
    int widest = 0;
    for (int t = 0; t < kCalibrationTypeCount; ++t) {
        for (const CalibrationSensor& sensor : GetCalibrationType(t).sensors) {
            widest = std::max(widest, metrics.horizontalAdvance(Q(sensor.text)));
        }
    }
    // Room for the frame and the arrow of the combo box.
    ui_->sensorList->setMinimumWidth(widest + 48);
    ui_->descriptionLabel->setFixedWidth(widest + 48);
    int tallest = 0;
    for (int t = 0; t < kCalibrationTypeCount; ++t) {
        ui_->descriptionLabel->setText(Q(GetCalibrationType(t).description));
        tallest = std::max(tallest, ui_->descriptionLabel->heightForWidth(widest + 48));
    }
    ui_->descriptionLabel->setMinimumHeight(tallest);
}

void CCalibrationModeDialog::Refresh() {
    const QSignalBlocker typeBlock(ui_->typeList);
    const QSignalBlocker sensorBlock(ui_->sensorList);
    const QSignalBlocker inputBlock(ui_->inputList);
    const QSignalBlocker codeBlock(ui_->codeField);

    SetItems(*ui_->typeList, mode_.typeEntries(), mode_.type());
    ui_->descriptionLabel->setText(Q(mode_.description()));

    const bool sensors = mode_.sensorListShown();
    if (sensors) SetItems(*ui_->sensorList, mode_.sensorEntries(), mode_.sensorSelection());
    ui_->sensorLabel->setVisible(sensors);
    ui_->sensorList->setVisible(sensors);

    const bool inputs = mode_.inputListShown();
    if (inputs) SetItems(*ui_->inputList, mode_.inputEntries(), mode_.inputSelection());
    ui_->inputLabel->setVisible(inputs);
    ui_->inputList->setVisible(inputs);

    const bool code = mode_.codeEnabled();
    ui_->codeLabel->setEnabled(code);
    ui_->codeField->setEnabled(code);
    const QString codeText = Q(mode_.codeText());
    if (ui_->codeField->cleanText() != codeText) {
        ui_->codeField->setValue(static_cast<int>(CCalibrationMode::ParseCode(mode_.codeText())));
    }
}

void CCalibrationModeDialog::Close(DialogResult result) {
    done(result == DialogResult::Ok ? QDialog::Accepted : QDialog::Rejected);
}

void CCalibrationModeDialog::SetExchanging(bool on) {
    exchanging_ = on;
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->typeList), static_cast<QWidget*>(ui_->sensorList),
          static_cast<QWidget*>(ui_->inputList), static_cast<QWidget*>(ui_->continueButton)}) {
        w->setEnabled(!on);
    }
    ui_->codeField->setEnabled(!on && mode_.codeEnabled());
    if (!on && rejectAsked_) {
        rejectAsked_ = false;
        QTimer::singleShot(0, this, &CCalibrationModeDialog::reject);
    }
}

void CCalibrationModeDialog::reject() {
    if (exchanging_) {
        rejectAsked_ = true;
        return;
    }
    mode_.Cancel();
    // A mode that has already ended lets its window go all the same.
    if (isVisible()) QDialog::done(QDialog::Rejected);
}

}  // namespace zep8
