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
QTableWidgetItem* Cell(const QString& text) {
  auto* c = new QTableWidgetItem(text);
  c->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  c->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return c;
}
QString NumberString(double v) { return QString::number(v, 'g', 5); }
}  // namespace

frmComparaModelos::frmComparaModelos(sorvan::core::KrigingSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("frmComparaModelos"));
  setWindowTitle(QStringLiteral("Comparar modelos"));
  auto* root = new QVBoxLayout(this);
  auto* explanation = new QLabel(
      QStringLiteral("Los seis modelos ajustados con la tendencia y las opciones actuales y validados dejando "
                     "fuera cada dato, de menor a mayor raíz del error cuadrático medio (RECM). ECME: error "
                     "estandarizado cuadrático medio, cerca de 1 si la varianza de kriging es realista."),
      this);
  explanation->setWordWrap(true);
  root->addWidget(explanation);
  table_ = new QTableWidget(0, 9, this);
  table_->setObjectName(QStringLiteral("tblModelos"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Modelo"), QStringLiteral("c0"), QStringLiteral("c1"),
                                     QStringLiteral("a"), QStringLiteral("Error ajuste"), QStringLiteral("RECM"),
                                     QStringLiteral("ECME"), QStringLiteral("Correlación"),
                                     QStringLiteral("±1,96 σ")});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->setVisible(false);
  root->addWidget(table_, 1);
  auto* buttons = new QDialogButtonBox(this);
  auto* cmdUsar = buttons->addButton(QStringLiteral("&Usar el modelo elegido"), QDialogButtonBox::AcceptRole);
  cmdUsar->setObjectName(QStringLiteral("cmdUsar"));
  auto* cmdCerrar = buttons->addButton(QStringLiteral("C&errar"), QDialogButtonBox::RejectRole);
  cmdCerrar->setObjectName(QStringLiteral("cmdCerrar"));
  root->addWidget(buttons);
  connect(cmdUsar, &QPushButton::clicked, this, [this] {
    const int row = table_->currentRow();
    if (row < 0) return;
    UseModel(row);
    QMessageBox::information(this, windowTitle(),
                             QStringLiteral("El modelo %1 queda como modelo de la próxima ejecución "
                                            "(sin ajuste). Ejecute «Kriging 2D» para krigear con él.")
                                 .arg(ModelName(rows_[size_t(row)].model.code)));
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  resize(860, 330);
}

bool frmComparaModelos::Wait(QProgressDialog& progress, const std::function<bool()>& terminado) {
  if (progress.wasCanceled()) return false;
  if (terminado()) return true;
  QEventLoop loop;
  QTimer clock;
  clock.setInterval(40);
  connect(&clock, &QTimer::timeout, &loop, [&] {
    if (terminado()) loop.quit();
  });
  connect(&progress, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
  clock.start();
  loop.exec();
  return !progress.wasCanceled();
}

bool frmComparaModelos::Compare() {
  QProgressDialog progress(QStringLiteral("Comparando los modelos..."), QStringLiteral("Cancelar"), 0, 6, this);
  progress.setObjectName(QStringLiteral("ProgresoComparacion"));
  progress.setWindowTitle(windowTitle());
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  progress.setValue(0);
  progress.show();

  QTemporaryDir folder;
  const std::string path = folder.path().toStdString();
  std::vector<sorvan::core::ModelComparisonRow> rows;
  for (int code = 1; code <= 6; ++code) {
    progress.setLabelText(QStringLiteral("Ajustando y validando el modelo %1 (%2 de 6)...")
                              .arg(ModelName(code))
                              .arg(code));
    sorvan::core::KrigingSession s = session_;
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
      if (!Wait(progress, [&] { return engine.poll(); })) {
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
      std::future<kriging::CrossValidationResult> validation =
          std::async(std::launch::async, [&s, model = row.model] {
            return sorvan::core::CrossValidateColumns(s.data, s.colX, s.colY, s.colZ, model, s.options.Media, 0, 1);
          });
      const bool follow = Wait(progress, [&] {
        return validation.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
      });
      if (!follow) return false;
      row.validation = validation.get();
    }
    rows.push_back(std::move(row));
    progress.setValue(code);
  }
  progress.hide();
  sorvan::core::SortByError(rows);
  rows_ = std::move(rows);
  ShowRows();
  return true;
}

void frmComparaModelos::ShowRows() {
  table_->setRowCount(int(rows_.size()));
  for (int i = 0; i < int(rows_.size()); ++i) {
    const sorvan::core::ModelComparisonRow& f = rows_[size_t(i)];
    auto* nombre = new QTableWidgetItem(ModelName(f.model.code));
    nombre->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    table_->setItem(i, 0, nombre);
    table_->setItem(i, 1, Cell(NumberString(f.model.c0)));
    table_->setItem(i, 2, Cell(NumberString(f.model.c1)));
    table_->setItem(i, 3, Cell(f.model.code == 3 ? QString() : NumberString(f.model.a)));
    table_->setItem(i, 4, Cell(NumberString(f.fitError)));
    if (f.validation.status != 0) {
      table_->setItem(i, 5, Cell(QString::fromStdString(f.validation.message)));
      continue;
    }
    const kriging::CrossValidationSummary& r = f.validation.summary;
    table_->setItem(i, 5, Cell(NumberString(r.rootMeanSquareError)));
    table_->setItem(i, 6, Cell(NumberString(r.meanSquaredStandardisedError)));
    table_->setItem(i, 7, Cell(QString::number(r.correlation, 'f', 4)));
    table_->setItem(i, 8, Cell(QString::number(100 * r.shareWithin, 'f', 1) + QStringLiteral(" %")));
  }
  table_->resizeColumnsToContents();
  if (!rows_.empty()) table_->selectRow(0);
}

void frmComparaModelos::UseModel(int row) {
  if (row < 0 || row >= int(rows_.size())) return;
  const sorvan::core::ValidatedModel& m = rows_[size_t(row)].model;
  session_.options.Modelo = m.code;
  session_.options.C0Ini = float(m.c0);
  session_.options.C1Ini = float(m.c1);
  session_.options.AIni = float(m.a);
  session_.options.MetodoAjuste = sorvan::gui::kNoFit;
}

}  // namespace sorvan::gui
