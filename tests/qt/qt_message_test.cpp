// Help > Controls in the Qt backend's message box, laid out offscreen:
// every row's action starts in one column.
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

#include "platform/platform.h"
#include "ui/help_texts.h"

namespace {

TEST(QtMessageBox, ControlsRowsShareOneColumn) {
    QTextDocument shown;  // the box's label, laid out as the label does
    QTimer::singleShot(100, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            const auto* label = box ? box->findChild<QLabel*>("qt_msgbox_label") : nullptr;
            if (!label) continue;
            shown.setDefaultFont(label->font());
            if (label->textFormat() == Qt::RichText) shown.setHtml(label->text());
            else shown.setPlainText(label->text());
            box->accept();
        }
    });
    const QStringList lines = QString::fromStdString(ControlsText()).split('\n');
    platform::ShowMessageBox(nullptr, ControlsText().c_str(), kControlsCaption, MB_OK);

    // Each action is the block, or the end of the block, after its keys.
    QList<double> starts;
    QTextBlock block = shown.begin();
    for (const QString& line : lines.filter(QStringLiteral("\t"))) {
        const QString action = line.section('\t', -1);
        while (block.isValid() && block.text() != action && !block.text().endsWith('\t' + action))
            block = block.next();
        ASSERT_TRUE(block.isValid()) << line.toStdString();
        const double x = shown.documentLayout()->blockBoundingRect(block).x() +
                         block.layout()->lineAt(0).cursorToX(block.text().size() - action.size());
        starts.append(x);
        EXPECT_NEAR(x, starts.first(), 0.5) << line.toStdString();
        block = block.next();
    }
    EXPECT_GT(starts.size(), 11);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
