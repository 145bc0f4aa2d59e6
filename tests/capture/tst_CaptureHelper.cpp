#include "CaptureHelper.h"

#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

class tst_CaptureHelper final : public QObject
{
    Q_OBJECT

private slots:
    void helperCapturesForItsGroup();
};

void tst_CaptureHelper::helperCapturesForItsGroup()
{
    QCOMPARE(CaptureHelper::permissionAdvice(u"/b/helper"_s), u"sudo setcap cap_net_raw+ep /b/helper"_s);
    QVERIFY(CaptureHelper::permissionAdvice(u"/usr/libexec/corvane2/corvane2-capture"_s).contains(u"usermod -aG"_s));
    // A user, a network namespace and a link all named %i, a copy %h of the helper and a subnet %a.
    QTemporaryDir folder;
    const auto expand = [&](QString text) {
        return text.replace(u"%h"_s, folder.filePath(u"corvane2-capture"_s))
            .replace(u"%i"_s, u"cvh"_s + QString::number(getpid()))
            .replace(u"%a"_s, u"10.214.%1."_s.arg(getpid() % 250 + 1));
    };
    const auto run = [&](const QString &command) {
        const QStringList words = expand(command).split(u' ');
        return QProcess::execute(words.constFirst(), words.mid(1));
    };
    const auto cleanUp = qScopeGuard([&] {
        run(u"ip netns del %i"_s);
        run(u"userdel %i"_s);
    });
    // chown clears file capabilities: setcap comes after it.
    for (const QString &command :
         { u"useradd -M -r -U -s /usr/sbin/nologin %i"_s, u"cp " CORVANE_TOOLS_DIR "/corvane2-capture %h"_s,
           u"chmod 0711 "_s + folder.path(), u"chown root:%i %h"_s, u"chmod 0750 %h"_s, u"setcap cap_net_raw+ep %h"_s,
           u"ip netns add %i"_s, u"ip link add %i type veth peer name eth0 netns %i"_s, u"ip addr add %a1/30 dev %i"_s,
           u"ip link set %i up"_s, u"ip -n %i addr add %a2/30 dev eth0"_s, u"ip -n %i link set eth0 up"_s }) {
        if (run(command) != 0) {
            QSKIP(qPrintable(u"needs root, useradd, setcap (libcap2-bin), namespaces: "_s + expand(command)));
        }
    }
    QCOMPARE(run(u"runuser -u %i -- %h cvh-no-such"_s), 2);
    QCOMPARE(run(u"runuser -u %i -- " CORVANE_TOOLS_DIR "/corvane2-capture %i"_s), 3);
    // Not in the group: runuser cannot even start it.
    QCOMPARE(run(u"runuser -u nobody -- %h %i"_s), 1);
    QProcess capture;
    capture.start(u"runuser"_s, expand(u"-u %i -- %h %i"_s).split(u' '));
    QByteArray stream;
    // The stream's header says the adapter is open.
    while (stream.size() < 24 && capture.waitForReadyRead(10000)) {
        stream += capture.readAllStandardOutput();
    }
    QTcpSocket refused;
    refused.connectToHost(expand(u"%a2"_s), 4001);
    QVERIFY(!refused.waitForConnected(5000));
    // The attempt and its refusal: two frames that carry the far end's address.
    const quint32 far = QHostAddress(expand(u"%a2"_s)).toIPv4Address();
    const QByteArray address = QByteArray::fromHex(QByteArray::number(far, 16).rightJustified(8, '0'));
    while (stream.count(address) < 2 && capture.waitForReadyRead(10000)) {
        stream += capture.readAllStandardOutput();
    }
    QVERIFY2(stream.count(address) >= 2, stream.toHex().constData());
    capture.closeWriteChannel();
    QVERIFY(capture.waitForFinished(2000));
    QCOMPARE(capture.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_CaptureHelper)
#include "tst_CaptureHelper.moc"
