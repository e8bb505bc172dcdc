#include "gui/validation/frmComparaModelos.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <chrono>
#include <future>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include "core/ejecuta_kriging.h"
#include "core/motor_kriging.h"
#include "core/opciones_kriging.h"
#include "gui/validation/frmValidacionCruzada.h"

namespace {
QTableWidgetItem* Celda(const QString& texto) {
  auto* c = new QTableWidgetItem(texto);
  c->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  c->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return c;
}
QString Numero(double v) { return QString::number(v, 'g', 5); }
}  // namespace

frmComparaModelos::frmComparaModelos(sorvan::SesionKriging& sesion, QWidget* parent)
    : QDialog(parent), sesion_(sesion) {
  setObjectName(QStringLiteral("frmComparaModelos"));
  setWindowTitle(QStringLiteral("Comparar modelos"));
  auto* raiz = new QVBoxLayout(this);
  auto* explicacion = new QLabel(
      QStringLiteral("Los seis modelos ajustados con la tendencia y las opciones actuales y validados dejando "
                     "fuera cada dato, de menor a mayor raíz del error cuadrático medio (RECM). ECME: error "
                     "estandarizado cuadrático medio, cerca de 1 si la varianza de kriging es realista."),
      this);
  explicacion->setWordWrap(true);
  raiz->addWidget(explicacion);
  tabla_ = new QTableWidget(0, 9, this);
  tabla_->setObjectName(QStringLiteral("tblModelos"));
  tabla_->setHorizontalHeaderLabels({QStringLiteral("Modelo"), QStringLiteral("c0"), QStringLiteral("c1"),
                                     QStringLiteral("a"), QStringLiteral("Error ajuste"), QStringLiteral("RECM"),
                                     QStringLiteral("ECME"), QStringLiteral("Correlación"),
                                     QStringLiteral("±1,96 σ")});
  tabla_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tabla_->setSelectionMode(QAbstractItemView::SingleSelection);
  tabla_->verticalHeader()->setVisible(false);
  raiz->addWidget(tabla_, 1);
  auto* botones = new QDialogButtonBox(this);
  auto* cmdUsar = botones->addButton(QStringLiteral("&Usar el modelo elegido"), QDialogButtonBox::AcceptRole);
  cmdUsar->setObjectName(QStringLiteral("cmdUsar"));
  auto* cmdCerrar = botones->addButton(QStringLiteral("C&errar"), QDialogButtonBox::RejectRole);
  cmdCerrar->setObjectName(QStringLiteral("cmdCerrar"));
  raiz->addWidget(botones);
  connect(cmdUsar, &QPushButton::clicked, this, [this] {
    const int fila = tabla_->currentRow();
    if (fila < 0) return;
    UsarModelo(fila);
    QMessageBox::information(this, windowTitle(),
                             QStringLiteral("El modelo %1 queda como modelo de la próxima ejecución "
                                            "(sin ajuste). Ejecute «Kriging 2D» para krigear con él.")
                                 .arg(NombreModelo(filas_[size_t(fila)].model.code)));
    accept();
  });
  connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);
  resize(860, 330);
}

bool frmComparaModelos::Espera(QProgressDialog& progreso, const std::function<bool()>& terminado) {
  if (progreso.wasCanceled()) return false;
  if (terminado()) return true;
  QEventLoop bucle;
  QTimer reloj;
  reloj.setInterval(40);
  connect(&reloj, &QTimer::timeout, &bucle, [&] {
    if (terminado()) bucle.quit();
  });
  connect(&progreso, &QProgressDialog::canceled, &bucle, &QEventLoop::quit);
  reloj.start();
  bucle.exec();
  return !progreso.wasCanceled();
}

bool frmComparaModelos::Comparar() {
  QProgressDialog progreso(QStringLiteral("Comparando los modelos..."), QStringLiteral("Cancelar"), 0, 6, this);
  progreso.setObjectName(QStringLiteral("ProgresoComparacion"));
  progreso.setWindowTitle(windowTitle());
  progreso.setWindowModality(Qt::WindowModal);
  progreso.setMinimumDuration(0);
  progreso.setAutoClose(false);
  progreso.setAutoReset(false);
  progreso.setValue(0);
  progreso.show();

  QTemporaryDir carpeta;
  const std::string ruta = carpeta.path().toStdString();
  std::vector<sorvan::ModelComparisonRow> filas;
  for (int codigo = 1; codigo <= 6; ++codigo) {
    progreso.setLabelText(QStringLiteral("Ajustando y validando el modelo %1 (%2 de 6)...")
                              .arg(NombreModelo(codigo))
                              .arg(codigo));
    sorvan::SesionKriging s = sesion_;
    s.opciones.Modelo = codigo;
    s.opciones.C0Ini = s.opciones.C1Ini = s.opciones.AIni = -1;
    if (s.opciones.MetodoAjuste == sorvan::kSinAjuste) s.opciones.MetodoAjuste = sorvan::kAjusteMotor;
    s.opciones.VerSupPred = s.opciones.VerSupVar = 0;
    sorvan::ModelComparisonRow fila;
    fila.model.code = codigo;
    sorvan::ArgumentosSKU argumentos;
    sorvan::Resultado r = sorvan::PreparaArgumentos(s, argumentos);
    sorvan::MotorKriging motor;
    if (r) r = motor.start(argumentos, ruta);
    if (r) {
      // The fit, in the helper process: a cancel kills it.
      if (!Espera(progreso, [&] { return motor.poll(); })) {
        motor.cancel();
        return false;
      }
      const sorvan::ResultadoMotor& fin = motor.resultado();
      if (fin.ok) sorvan::AplicaResultado(s, fin, s.datos.nombreSinBlancos(s.colZ), ruta);
      else r = sorvan::Resultado::Error(fin.textoCompleto());
    }
    if (!r) {
      fila.validation.status = 1;
      fila.validation.message = r.mensaje;
    } else {
      fila.model = {codigo, s.modelo.c0, s.modelo.c1, s.modelo.a};
      fila.fitError = s.modelo.errorAjuste;
      // The validation, in a worker thread (the future's end waits for it,
      // so a cancel during it returns when it is done: one closed form).
      std::future<kriging::CrossValidationResult> validacion =
          std::async(std::launch::async, [&s, modelo = fila.model] {
            return sorvan::CrossValidateColumns(s.datos, s.colX, s.colY, s.colZ, modelo, s.opciones.Media, 0, 1);
          });
      const bool seguir = Espera(progreso, [&] {
        return validacion.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
      });
      if (!seguir) return false;
      fila.validation = validacion.get();
    }
    filas.push_back(std::move(fila));
    progreso.setValue(codigo);
  }
  progreso.hide();
  sorvan::SortByError(filas);
  filas_ = std::move(filas);
  MostrarFilas();
  return true;
}

void frmComparaModelos::MostrarFilas() {
  tabla_->setRowCount(int(filas_.size()));
  for (int i = 0; i < int(filas_.size()); ++i) {
    const sorvan::ModelComparisonRow& f = filas_[size_t(i)];
    auto* nombre = new QTableWidgetItem(NombreModelo(f.model.code));
    nombre->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    tabla_->setItem(i, 0, nombre);
    tabla_->setItem(i, 1, Celda(Numero(f.model.c0)));
    tabla_->setItem(i, 2, Celda(Numero(f.model.c1)));
    tabla_->setItem(i, 3, Celda(f.model.code == 3 ? QString() : Numero(f.model.a)));
    tabla_->setItem(i, 4, Celda(Numero(f.fitError)));
    if (f.validation.status != 0) {
      tabla_->setItem(i, 5, Celda(QString::fromStdString(f.validation.message)));
      continue;
    }
    const kriging::CrossValidationSummary& r = f.validation.summary;
    tabla_->setItem(i, 5, Celda(Numero(r.rootMeanSquareError)));
    tabla_->setItem(i, 6, Celda(Numero(r.meanSquaredStandardisedError)));
    tabla_->setItem(i, 7, Celda(QString::number(r.correlation, 'f', 4)));
    tabla_->setItem(i, 8, Celda(QString::number(100 * r.shareWithin, 'f', 1) + QStringLiteral(" %")));
  }
  tabla_->resizeColumnsToContents();
  if (!filas_.empty()) tabla_->selectRow(0);
}

void frmComparaModelos::UsarModelo(int fila) {
  if (fila < 0 || fila >= int(filas_.size())) return;
  const sorvan::ValidatedModel& m = filas_[size_t(fila)].model;
  sesion_.opciones.Modelo = m.code;
  sesion_.opciones.C0Ini = float(m.c0);
  sesion_.opciones.C1Ini = float(m.c1);
  sesion_.opciones.AIni = float(m.a);
  sesion_.opciones.MetodoAjuste = sorvan::kSinAjuste;
}
