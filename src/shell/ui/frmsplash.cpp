#include "shell/ui/frmsplash.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "db/data_connector.h"
#include "shell/configuration.h"
#include "shell/product.h"
#include "shell/startup.h"
#include "ui_frmsplash.h"

namespace kyt {
namespace {

QPixmap makeLogo(int side)
{
    QPixmap logo(side, side);
    logo.fill(Qt::transparent);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(24, 64, 128));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, side - 4, side - 4), side / 8.0, side / 8.0);
    // A résumé page with its two tables, the thing Kyt reads.
    QRectF page(side * 0.28, side * 0.16, side * 0.44, side * 0.60);
    p.setBrush(Qt::white);
    p.drawRect(page);
    p.setPen(QPen(QColor(24, 64, 128), side / 64.0));
    for (double y : {0.24, 0.30, 0.36, 0.48, 0.54, 0.60, 0.66})
        p.drawLine(QPointF(page.left() + side * 0.05, side * y), QPointF(page.right() - side * 0.05, side * y));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(side / 6);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, side * 0.78, side, side * 0.2), Qt::AlignCenter, QString::fromUtf8(kProductName.data(), kProductName.size()));
    return logo;
}

}  // namespace

frmSplash::frmSplash(Control& control, Actions actions, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      ui(std::make_unique<Ui::frmSplash>()),
      Timer1(new QTimer(this)),
      control(control),
      actions(std::move(actions))
{
    ui->setupUi(this);
    ui->imgLogo->setPixmap(makeLogo(128));
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1500);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
}

frmSplash::~frmSplash() = default;

void frmSplash::Form_Load()
{
    ui->lblVersion->setText(QString::fromUtf8(kVersionText.data(), kVersionText.size()));
    control.session.AppTitle = std::string(kAppTitle);
    setWindowTitle(QString::fromStdString(control.session.AppTitle));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    activateWindow();
    setFocus();
    repaint();
    ui->lblProductName->setText(QString::fromUtf8(kProductName.data(), kProductName.size()));

    if (ReadConfiguration(control, actions.showSetupWindow) == 1) {
        StartUpResult result = StartUp(control);
        if (!control.session.Connector || !control.session.Connector->GetConnectStatus()) {
            if (control.session.Messages)
                control.session.Messages->show("Unable to connect to database", "", MsgIcon::Critical, MsgButtons::OK);
            close();
            return;
        }
        // More branches than the query window can hold: the officer has been told; a main menu over
        // a half-loaded branch list would only mislead.
        if (result == StartUpResult::TooManyBranches) {
            close();
            return;
        }
        StartupOK = true;
    } else {
        StartupOK = false;
    }
    // Started only now, so that a question asked during the load cannot be overtaken by the tick.
    Timer1->start();
}

void frmSplash::Timer1_Timer()
{
    Timer1->stop();
    if (StartupOK && actions.showMainMenu)
        actions.showMainMenu();
    close();
}

void frmSplash::Form_Click()
{
    if (StartupOK && actions.showMainMenu)
        actions.showMainMenu();
    Timer1->stop();
    close();
}

void frmSplash::Form_KeyPress()
{
    Timer1->stop();
    close();
}

void frmSplash::mousePressEvent(QMouseEvent* event)
{
    // The labels and the frame pass their clicks up to here.
    if (event->button() == Qt::LeftButton && isVisible())
        Form_Click();
}

void frmSplash::keyPressEvent(QKeyEvent* event)
{
    // A modifier alone is not a key press the officer meant.
    switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
        QWidget::keyPressEvent(event);
        return;
    default:
        break;
    }
    if (isVisible())
        Form_KeyPress();
}

}  // namespace kyt
