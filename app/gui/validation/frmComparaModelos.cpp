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

#include "core/run_kriging.h"
#include "core/kriging_engine.h"
#include "core/kriging_options.h"
#include "gui/validation/frmValidacionCruzada.h"

namespace sorvan::gui {
using namespace sorvan::core;

namespace {
QTableWidgetItem* Celda(const QString& text) {
  auto* c = new QTableWidgetItem(text);
  c->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  c->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return c;
}
QString NumberString(double v) { return QString::number(v, 'g', 5); }
}  // namespace

frmComparaModelos::frmComparaModelos(sorvan::core::KrigingSession& session, QWidget* parent)
    : QDialog(parent), sesion_(session) {
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
    const int row = tabla_->currentRow();
    if (row < 0) return;
    UsarModelo(row);
    QMessageBox::information(this, windowTitle(),
                             QStringLiteral("El modelo %1 queda como modelo de la próxima ejecución "
                                            "(sin ajuste). Ejecute «Kriging 2D» para krigear con él.")
                                 .arg(NombreModelo(filas_[size_t(row)].model.code)));
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

  QTemporaryDir folder;
  const std::string path = folder.path().toStdString();
  std::vector<sorvan::core::ModelComparisonRow> rows;
  for (int code = 1; code <= 6; ++code) {
    progreso.setLabelText(QStringLiteral("Ajustando y validando el modelo %1 (%2 de 6)...")
                              .arg(NombreModelo(code))
                              .arg(code));
    sorvan::core::KrigingSession s = sesion_;
    s.options.Modelo = code;
    s.options.C0Ini = s.options.C1Ini = s.options.AIni = -1;
    if (s.options.MetodoAjuste == sorvan::gui::kNoFit) s.options.MetodoAjuste = sorvan::gui::kEngineFit;
    s.options.VerSupPred = s.options.VerSupVar = 0;
    sorvan::core::ModelComparisonRow row;
    row.model.code = code;
    sorvan::core::SkuArguments arguments;
    sorvan::core::Result r = sorvan::core::PrepareArguments(s, arguments);
    sorvan::core::KrigingEngine engine;
    if (r) r = engine.start(arguments, path);
    if (r) {
      // The fit, in the helper process: a cancel kills it.
      if (!Espera(progreso, [&] { return engine.poll(); })) {
        engine.cancel();
        return false;
      }
      const sorvan::core::EngineResult& atEnd = engine.result();
      if (atEnd.ok) sorvan::core::ApplyResult(s, atEnd, s.data.nameWithoutBlanks(s.colZ), path);
      else r = sorvan::core::Result::Error(atEnd.fullText());
    }
    if (!r) {
      row.validation.status = 1;
      row.validation.message = r.message;
    } else {
      row.model = {code, s.model.c0, s.model.c1, s.model.a};
      row.fitError = s.model.fitError;
      // The validation, in a worker thread (the future's end waits for it,
      // so a cancel during it returns when it is done: one closed form).
      std::future<kriging::CrossValidationResult> validacion =
          std::async(std::launch::async, [&s, model = row.model] {
            return sorvan::core::CrossValidateColumns(s.data, s.colX, s.colY, s.colZ, model, s.options.Media, 0, 1);
          });
      const bool seguir = Espera(progreso, [&] {
        return validacion.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
      });
      if (!seguir) return false;
      row.validation = validacion.get();
    }
    rows.push_back(std::move(row));
    progreso.setValue(code);
  }
  progreso.hide();
  sorvan::core::SortByError(rows);
  filas_ = std::move(rows);
  MostrarFilas();
  return true;
}

void frmComparaModelos::MostrarFilas() {
  tabla_->setRowCount(int(filas_.size()));
  for (int i = 0; i < int(filas_.size()); ++i) {
    const sorvan::core::ModelComparisonRow& f = filas_[size_t(i)];
    auto* nombre = new QTableWidgetItem(NombreModelo(f.model.code));
    nombre->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    tabla_->setItem(i, 0, nombre);
    tabla_->setItem(i, 1, Celda(NumberString(f.model.c0)));
    tabla_->setItem(i, 2, Celda(NumberString(f.model.c1)));
    tabla_->setItem(i, 3, Celda(f.model.code == 3 ? QString() : NumberString(f.model.a)));
    tabla_->setItem(i, 4, Celda(NumberString(f.fitError)));
    if (f.validation.status != 0) {
      tabla_->setItem(i, 5, Celda(QString::fromStdString(f.validation.message)));
      continue;
    }
    const kriging::CrossValidationSummary& r = f.validation.summary;
    tabla_->setItem(i, 5, Celda(NumberString(r.rootMeanSquareError)));
    tabla_->setItem(i, 6, Celda(NumberString(r.meanSquaredStandardisedError)));
    tabla_->setItem(i, 7, Celda(QString::number(r.correlation, 'f', 4)));
    tabla_->setItem(i, 8, Celda(QString::number(100 * r.shareWithin, 'f', 1) + QStringLiteral(" %")));
  }
  tabla_->resizeColumnsToContents();
  if (!filas_.empty()) tabla_->selectRow(0);
}

void frmComparaModelos::UsarModelo(int row) {
  if (row < 0 || row >= int(filas_.size())) return;
  const sorvan::core::ValidatedModel& m = filas_[size_t(row)].model;
  sesion_.options.Modelo = m.code;
  sesion_.options.C0Ini = float(m.c0);
  sesion_.options.C1Ini = float(m.c1);
  sesion_.options.AIni = float(m.a);
  sesion_.options.MetodoAjuste = sorvan::gui::kNoFit;
}

}  // namespace sorvan::gui
