#include "CVideoSniffer.h"
#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Takes the capture capability away from this process, as for a user who is not root.
bool dropCaptureCapability()
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[2] {};
    if (syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    for (const int capability : { CAP_NET_RAW, CAP_NET_ADMIN }) {
        const quint32 bit = 1U << (capability % 32);
        data[capability / 32].effective &= ~bit;
        data[capability / 32].permitted &= ~bit;
    }
    return syscall(SYS_capset, &header, data) == 0;
}

} // namespace

class tst_SnifferDenied final : public QObject
{
    Q_OBJECT

private slots:
    void tellsWhyNothingCanBeCaptured();
};

void tst_SnifferDenied::tellsWhyNothingCanBeCaptured()
{
    if (CVideoSniffer::listInterfaces().isEmpty()) {
        QSKIP("this machine has no network adapter with an IPv4 address");
    }
    QVERIFY(dropCaptureCapability());
    WindowFixture fixture(updatedToday());
    QString shown;
    answerNextModal([&shown](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box != nullptr);
        shown = box->text();
        box->accept();
    });
    fixture.find<QPushButton>(QStringLiteral("btnSniffer"))->click();

    QVERIFY2(shown.contains(QStringLiteral("not allowed to watch")), qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("setcap cap_net_raw+eip")));
    QVERIFY(fixture.find<QWidget>(QStringLiteral("widgetOldSniffer"))->isVisible());
}

QTEST_MAIN(tst_SnifferDenied)
#include "tst_SnifferDenied.moc"
