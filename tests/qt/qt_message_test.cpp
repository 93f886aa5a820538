// The Qt backend's message box, laid out offscreen: the rows of Help >
// Controls must start their actions in one column.
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/help_texts.h"

namespace {

struct Shown {
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QFont font;
};

QMessageBox* OpenBox() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) return box;
    return nullptr;
}

// Shows the box as the program does and takes its label's contents.
Shown ShowAndRead(const std::string& text) {
    Shown shown;
    std::function<void()> look = [&] {
        QMessageBox* box = OpenBox();
        if (!box) {
            QTimer::singleShot(10, look);
            return;
        }
        if (const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            shown.text = label->text();
            shown.format = label->textFormat();
            shown.font = label->font();
        }
        box->accept();
    };
    QTimer::singleShot(0, look);
    platform::ShowMessageBox(nullptr, text.c_str(), "Zintra Controls", MB_OK);
    return shown;
}

// Where each row's action starts, laid out as a label lays out its text.
std::vector<double> ActionStarts(const Shown& shown, const std::vector<std::string>& actions) {
    QTextDocument document;
    document.setDefaultFont(shown.font);
    if (shown.format == Qt::RichText) document.setHtml(shown.text);
    else document.setPlainText(shown.text);
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    std::vector<double> starts;
    std::size_t next = 0;
    for (QTextBlock block = document.begin(); block.isValid() && next < actions.size();
         block = block.next()) {
        const QString text = block.text();
        const QString action = QString::fromStdString(actions[next]);
        if (!text.endsWith(action) || (text != action && !text.endsWith(QLatin1Char('\t') + action)))
            continue;
        const int at = text.size() - action.size();
        const QRectF box = layout->blockBoundingRect(block);
        starts.push_back(box.x() + block.layout()->lineAt(0).cursorToX(at));
        ++next;
    }
    return starts;
}

TEST(QtMessageBox, ControlsRowsShareOneColumn) {
    const std::string text = ControlsText();
    std::vector<std::string> actions;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const std::size_t tab = line.find_last_of('\t');
        if (tab != std::string::npos) actions.push_back(line.substr(tab + 1));
        start = end + 1;
    }
    const Shown shown = ShowAndRead(text);
    ASSERT_FALSE(shown.text.isEmpty());
    const std::vector<double> starts = ActionStarts(shown, actions);
    ASSERT_EQ(starts.size(), actions.size());
    for (std::size_t i = 1; i < starts.size(); ++i)
        EXPECT_NEAR(starts[i], starts[0], 0.5) << actions[i];
}

TEST(QtMessageBox, TextWithoutTabsStaysPlain) {
    const Shown shown = ShowAndRead("A <b>path</b> & more\nsecond line");
    EXPECT_EQ(shown.format, Qt::PlainText);
    EXPECT_EQ(shown.text, QStringLiteral("A <b>path</b> & more\nsecond line"));
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
