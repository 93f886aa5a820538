// Message boxes, the folder and editor choosers and the editor launch.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/qt/qt_internal.h"

namespace platform {

namespace {

QMessageBox::Icon IconFor(std::uint32_t flags) {
    switch (flags & 0xF0u) {
        case 0x10u: return QMessageBox::Critical;
        case 0x20u: return QMessageBox::Question;
        case MB_ICONEXCLAMATION: return QMessageBox::Warning;
        case MB_ICONINFORMATION: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

// Copies a chosen path into the core's kDialogPath buffer; false if too long.
bool CopyPath(const QString& chosen, char* path) {
    const QByteArray bytes = QFile::encodeName(QDir::toNativeSeparators(chosen));
    if (bytes.isEmpty() || static_cast<std::size_t>(bytes.size()) > kDialogPath - 1 ||
        bytes.contains('\0'))
        return false;
    std::memcpy(path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    path[bytes.size()] = '\0';
    return true;
}

// A nested dialog loop runs; the GL window shows its last frame meanwhile.
class ModalScope {
public:
    ModalScope() { qt::EnterModal(); }
    ~ModalScope() { qt::LeaveModal(); }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};

// Rows of "keys<tabs>action" as a table: Qt's tab stops are not the
// message box's of Windows that the tabs were counted for, so the
// columns would not line up.
QString TabRowsAsTable(const QString& text) {
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"0\">");
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const int tab = line.indexOf(QLatin1Char('\t'));
        if (tab < 0) {
            html += QStringLiteral("<tr><td colspan=\"2\" style=\"white-space:pre\">") +
                    (line.isEmpty() ? QStringLiteral("&nbsp;") : line.toHtmlEscaped()) +
                    QStringLiteral("</td></tr>");
            continue;
        }
        int action = tab;
        while (action < line.size() && line[action] == QLatin1Char('\t')) ++action;
        html += QStringLiteral("<tr><td style=\"white-space:pre; padding-right:24px\">") +
                line.left(tab).toHtmlEscaped() +
                QStringLiteral("</td><td style=\"white-space:pre\">") +
                line.mid(action).toHtmlEscaped() + QStringLiteral("</td></tr>");
    }
    return html + QStringLiteral("</table>");
}

}  // namespace

int ShowMessageBox(WindowHandle owner, const char* text, const char* caption, std::uint32_t flags) {
    if (!qt::HaveApplication()) {
        // No window system: the text still reaches the user.
        std::fprintf(stderr, "%s: %s\n", caption ? caption : "Error", text ? text : "");
        return IDOK;
    }
    const QString body = QString::fromLocal8Bit(text ? text : "");
    const bool columns = body.contains(QLatin1Char('\t'));
    QMessageBox box(IconFor(flags), QString::fromLocal8Bit(caption ? caption : "Error"),
                    columns ? TabRowsAsTable(body) : body, QMessageBox::Ok,
                    qt::DialogParent(owner));
    box.setTextFormat(columns ? Qt::RichText : Qt::PlainText);
    ModalScope modal;
    box.exec();
    return IDOK;
}

namespace qt {

// Names of the last drop, until the core takes them.
std::vector<std::string>& DroppedNames() {
    static std::vector<std::string> names;
    return names;
}

}  // namespace qt

std::vector<std::string> DroppedPaths(WParam) {
    std::vector<std::string> names;
    names.swap(qt::DroppedNames());
    return names;
}

void CopyText(WindowHandle, const char* text) {
    if (qt::HaveApplication()) QGuiApplication::clipboard()->setText(QString::fromUtf8(text ? text : ""));
}

bool ChooseFolder(WindowHandle owner, const char* title, char* path) {
    if (!path || !qt::HaveApplication()) return false;
    QString chosen;
    {
        ModalScope modal;
        chosen = QFileDialog::getExistingDirectory(qt::DialogParent(owner),
                                                   QString::fromLocal8Bit(title ? title : ""),
                                                   QFile::decodeName(path), QFileDialog::ShowDirsOnly);
    }
    return !chosen.isEmpty() && CopyPath(chosen, path);
}

bool ChooseEditor(WindowHandle owner, char* path) {
    if (!path || !qt::HaveApplication()) return false;
    QString chosen;
    {
        ModalScope modal;
        // Any executable file: Linux programs carry no extension to filter on.
        chosen = QFileDialog::getOpenFileName(qt::DialogParent(owner), QStringLiteral("Choose Editor"),
                                              QString(), QStringLiteral("All files (*)"));
    }
    if (chosen.isEmpty()) return false;
    const QFileInfo info(chosen);
    if (!info.isFile() || !info.isExecutable()) return false;
    return CopyPath(info.absoluteFilePath(), path);
}

bool LaunchEditor(WindowHandle, const char* program, const char* argument) {
    if (!program || !*program) return false;
    // One argv element, no shell: blanks and quotes in the path stay as they are.
    QStringList arguments;
    if (argument && *argument) arguments << QFile::decodeName(argument);
    return QProcess::startDetached(QFile::decodeName(program), arguments);
}

}  // namespace platform
