// mkdemoproject: builds the demo project Projects/demo.zel from its UTF-8 source, a melody set
// script and two MIDI files. The set is packed with 7za the way a melody set archive is (the
// files at the top of set.7z) and stored in the project's SetData section.
//
//   mkdemoproject <source folder> <staging folder> <out.zel>
//
// The archive is made deterministic: fixed file modes, no time stamps, one compression thread.
#include "base/cp1251.h"
#include "frame/settings.h"
#include "project/exportdriver.h"
#include "project/setarchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <cstdio>

namespace {

using namespace telmira;

int fail(const QString& text) {
    std::fprintf(stderr, "mkdemoproject: %s\n", text.toLocal8Bit().constData());
    return 1;
}

QByteArray readAll(const QString& path, bool* ok) {
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                               QFile::ReadOther);
}

// UTF-8 text with LF line ends as Windows-1251 with CR LF.
QByteArray windowsText(const QByteArray& utf8) {
    QByteArray text = utf8;
    text.replace("\r\n", "\n");
    text.replace("\n", "\r\n");
    const std::string bytes = utf8ToCp1251(text.toStdString());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return fail(
            QStringLiteral("usage: mkdemoproject <source folder> <staging folder> <out.zel>"));
    const QDir source(args[1]);
    QDir stage(args[2]);
    const QString out = args[3];
    if (!QDir().mkpath(stage.path()))
        return fail(QStringLiteral("cannot create ") + stage.path());
    for (const QString& name : stage.entryList(QDir::Files))
        stage.remove(name);

    bool ok = false;
    const QByteArray script = readAll(source.filePath(QStringLiteral("set.tcl")), &ok);
    if (!ok || !writeAll(stage.filePath(QStringLiteral("set.tcl")), windowsText(script)))
        return fail(QStringLiteral("cannot stage set.tcl"));
    const QStringList melodies = {QStringLiteral("001.mid"), QStringLiteral("002.mid")};
    for (const QString& name : melodies) {
        const QByteArray bytes = readAll(source.filePath(name), &ok);
        if (!ok || !writeAll(stage.filePath(name), bytes))
            return fail(QStringLiteral("cannot stage ") + name);
    }

    const QString archiver = FindArchiver(QString());
    if (archiver.isEmpty())
        return fail(QStringLiteral("7za not found (Debian package p7zip-full)"));
    QProcess pack;
    pack.setWorkingDirectory(stage.path());
    pack.setStandardInputFile(QProcess::nullDevice());
    pack.setProcessChannelMode(QProcess::MergedChannels);
    pack.start(archiver,
               QStringList{QStringLiteral("a"), QStringLiteral("-t7z"), QStringLiteral("-mx=9"),
                           QStringLiteral("-mmt=1"), QStringLiteral("-mtm=off"),
                           QStringLiteral("-mtc=off"), QStringLiteral("-mta=off"),
                           QStringLiteral("set.7z"), QStringLiteral("set.tcl")} +
                   melodies);
    if (!pack.waitForFinished(-1) || pack.exitStatus() != QProcess::NormalExit ||
        pack.exitCode() != 0)
        return fail(QStringLiteral("7za failed: ") + QString::fromLocal8Bit(pack.readAll()));
    const QByteArray archive = readAll(stage.filePath(QStringLiteral("set.7z")), &ok);
    if (!ok || archive.isEmpty())
        return fail(QStringLiteral("7za wrote no set.7z"));

    const QByteArray project = readAll(source.filePath(QStringLiteral("demo.zel.txt")), &ok);
    if (!ok)
        return fail(QStringLiteral("cannot read demo.zel.txt"));
    auto ini = TMyMemIniFile::fromBytes(windowsText(project), out);
    ini->ReplaceSection(QStringLiteral("SetData"), EncodeSetData(archive));
    QDir().mkpath(QFileInfo(out).absolutePath());
    if (!ini->UpdateFile())
        return fail(ini->LastError());
    return 0;
}
