// A drag source for drops driven under a real X server: a small window that
// starts a drag of the files named on its command line (as file URLs) when
// the mouse is pressed on it. Usage: zoq_drag_source X Y FILE...
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

class DragSource : public QLabel {
 public:
  explicit DragSource(QList<QUrl> urls) : urls_(std::move(urls)) {
    setText(QStringLiteral("drag %1").arg(urls_.size()));
    setAlignment(Qt::AlignCenter);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setUrls(urls_);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction);
  }

 private:
  QList<QUrl> urls_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 4) return 2;
  QList<QUrl> urls;
  for (qsizetype i = 3; i < args.size(); ++i) urls << QUrl::fromLocalFile(args.at(i));
  DragSource source(urls);
  source.setWindowTitle(QStringLiteral("zoq-drag-source"));
  source.setGeometry(args.at(1).toInt(), args.at(2).toInt(), 120, 80);
  source.show();
  return app.exec();
}
