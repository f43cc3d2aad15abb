#include "ui/Program.h"

#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <cstdio>

namespace ui::program {

namespace {
QString g_folder;
bool g_ended = false;
int g_status = 0;
bool g_failing = false;
std::function<void(int)> g_endHandler;
} // namespace

QString folder()
{
    return g_folder.isEmpty() ? QCoreApplication::applicationDirPath() : g_folder;
}

void setFolder(const QString& path)
{
    g_folder = path;
}

void end(int status)
{
    if (g_ended)
        return;
    g_ended = true;
    g_status = status;
    if (g_endHandler)
        g_endHandler(status);
    else
        QCoreApplication::exit(status);
}

bool hasEnded()
{
    return g_ended;
}

int exitStatus()
{
    return g_status;
}

void setEndHandler(std::function<void(int)> handler)
{
    g_endHandler = std::move(handler);
}

void reset()
{
    g_ended = false;
    g_status = 0;
    g_failing = false;
    g_endHandler = {};
    g_folder.clear();
    MessageBox::setResponder({});
}

void fail(const QString& text)
{
    std::fprintf(stderr, "vantrel: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    if (g_failing || g_ended)
        return;
    g_failing = true;
    if (MessageBox::canShow())
        MessageBox::show(text);
    end(1);
}

} // namespace ui::program
