#include "gui/frmAbout.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QVBoxLayout>

#include "gui/resources_init.h"

namespace sorvan::gui {

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
  Principal::InitResources();
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("Acerca de Sorvan"));
  setModal(true);

  auto* icon = new QLabel(this);
  icon->setPixmap(QPixmap(QStringLiteral(":/sorvan/sorvan.png"))
                       .scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* nombre = new QLabel(QStringLiteral("<b style='font-size:16pt'>Sorvan</b>"), this);
  auto* version = new QLabel(QStringLiteral("Versión %1").arg(QStringLiteral(SORVAN_VERSION_TEXT)), this);
  auto* description = new QLabel(
      QStringLiteral("Geoestadística en dos dimensiones: semivariograma empírico, ajuste de "
                     "modelos, kriging ordinario y universal sobre una malla regular, gráficos de "
                     "semivariogramas y superficies, y animaciones de series de superficies."),
      this);
  description->setWordWrap(true);

  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);

  auto* credits = new QLabel(
      QStringLiteral("Deriva por el método iterativo de Neuman y Jacobson.\n"
                     "Interfaz construida con Qt %1.")
          .arg(QString::fromLatin1(qVersion())),
      this);


  CoAceptar_ = new QPushButton(QStringLiteral("Aceptar"), this);
  CoAceptar_->setObjectName(QStringLiteral("CoAceptar"));
  CoAceptar_->setDefault(true);
  CoInfoSistema_ = new QPushButton(QStringLiteral("&Info. del sistema..."), this);
  CoInfoSistema_->setObjectName(QStringLiteral("CoInfoSistema"));
  connect(CoAceptar_, &QPushButton::clicked, this, &QDialog::accept);
  connect(CoInfoSistema_, &QPushButton::clicked, this, &frmAbout::CoInfoSistema_Click);

  auto* texts = new QVBoxLayout;
  texts->addWidget(nombre);
  texts->addWidget(version);
  texts->addSpacing(6);
  texts->addWidget(description);
  texts->addStretch(1);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(CoAceptar_);
  buttons->addWidget(CoInfoSistema_);

  auto* pie = new QHBoxLayout;
  pie->addWidget(credits, 1);
  pie->addLayout(buttons);

  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0);
  grid->addLayout(texts, 0, 1);
  grid->addWidget(line, 1, 0, 1, 2);
  grid->addLayout(pie, 2, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  description->setFixedWidth(360);
}

QString frmAbout::SystemInformation() {
  QStringList lines;
  lines << QStringLiteral("Sistema operativo: %1").arg(QSysInfo::prettyProductName())
         << QStringLiteral("Núcleo: %1 %2").arg(QSysInfo::kernelType(), QSysInfo::kernelVersion())
         << QStringLiteral("Arquitectura: %1").arg(QSysInfo::currentCpuArchitecture())
         << QStringLiteral("Procesadores: %1").arg(QThread::idealThreadCount())
         << QStringLiteral("Equipo: %1").arg(QSysInfo::machineHostName())
         << QStringLiteral("Qt: %1").arg(QString::fromLatin1(qVersion()))
         << QStringLiteral("Plataforma gráfica: %1").arg(QGuiApplication::platformName());
  if (QScreen* p = QGuiApplication::primaryScreen())
    lines << QStringLiteral("Pantalla: %1 x %2 píxeles, %3 ppp")
                  .arg(p->size().width())
                  .arg(p->size().height())
                  .arg(qRound(p->logicalDotsPerInch()));
  return lines.join(QLatin1Char('\n'));
}

void frmAbout::CoInfoSistema_Click() {
  QMessageBox::information(this, QStringLiteral("Información del sistema"), SystemInformation());
}

}  // namespace sorvan::gui
