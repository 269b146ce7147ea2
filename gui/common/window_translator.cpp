#include "gui/common/window_translator.h"

#include <QCheckBox>
#include <QListWidget>

#include "gui/common/texts.h"
#include "gui/widgets/form_frame.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/title_bar.h"
#include "shell/language.h"

namespace gui {
namespace {

class Section {
public:
    Section(const TLanguage& language, QString name) : language_(language), name_(std::move(name)) {}
    QString Value(const QString& key, const QString& current) const {
        return FromUtf8(language_.Read(ToUtf8(name_), ToUtf8(key), ToUtf8(current)));
    }

private:
    const TLanguage& language_;
    QString name_;
};

void TranslateControl(QWidget& control, const Section& section) {
    const QString name = control.objectName();
    if (auto* button = qobject_cast<RdImgButton*>(&control)) {
        if (!button->text().isEmpty())
            button->SetCaption(section.Value(name + QStringLiteral(".Caption"), button->text()));
        if (!button->toolTip().isEmpty())
            button->SetHint(section.Value(name + QStringLiteral(".Hint"), button->toolTip()));
    } else if (auto* label = qobject_cast<RdLabel*>(&control)) {
        label->SetMarkedText(section.Value(name + QStringLiteral(".Caption"), label->MarkedText()));
    } else if (auto* check = qobject_cast<QCheckBox*>(&control)) {
        check->setText(section.Value(name + QStringLiteral(".Caption"), check->text()));
        check->setAccessibleName(check->text());
    } else if (auto* list = qobject_cast<QListWidget*>(&control)) {
        for (int i = 0; i < list->count(); ++i) {
            QListWidgetItem* item = list->item(i);
            item->setText(section.Value(name + QStringLiteral(".Items[%1].Caption").arg(i), item->text()));
        }
    }
}

} // namespace

void TranslateWindow(QWidget& window, const TLanguage& language) {
    const QString windowName = window.objectName();
    if (windowName.isEmpty())
        return;
    const Section section(language, FromUtf8(language.Prefix) + QLatin1Char('_') + windowName);
    const QString caption = section.Value(windowName + QStringLiteral(".Caption"), window.windowTitle());
    window.setWindowTitle(caption);
    if (auto* frame = qobject_cast<RdFormFrame*>(&window))
        frame->TitleBar()->SetTitle(caption);
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (!control->objectName().isEmpty())
            TranslateControl(*control, section);
    }
}

} // namespace gui
