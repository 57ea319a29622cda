// Remote control: started when the store switches it on (remoteControl),
// driving the cameras through RemoteCameras; the status line says where it
// listens or why it cannot. The tally remote clients set frames the panels
// when the window shows one camera (the strip shows it for several).
#include "tallyframe.h"
#include "logcategories.h"
#include "remotesettings.h"
#include "tarndeck.h"

void tarnDeck::setUpRemote()
{
    QStringList problems;
    const RemoteSettings wanted = readRemoteSettings(settings, &problems);
    if (!wanted.enabled)
        return;
    remoteTarget = std::make_unique<RemoteCameras>(cameras);
    // /tarndeck/stop: the window's own controls let go first, so the
    // sliders and the pad show the rest their stops send.
    connect(remoteTarget.get(), &RemoteCameras::stoppingAll, this, &tarnDeck::releaseControls);
    remoteControl = std::make_unique<RemoteControl>(remoteTarget.get());
    const bool listening = remoteControl->start(wanted);
    if (!problems.isEmpty())
        showStatus(QStringLiteral("Settings: ") + problems.constFirst(), true);
    else
        showStatus(remoteControl->status(), !listening);
}

void tarnDeck::showTally()
{
    if (!tallyFrame)
        tallyFrame = new TallyFrame(ui.centralWidget);
    tallyFrame->setTally(cameras.count() == 1 ? camera()->tally() : Camera::Tally::Off);
}
