#include "app/app_text.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>

namespace zoqe {

namespace {
// The context of this file's texts in the translations.
struct Text {
  Q_DECLARE_TR_FUNCTIONS(AppText)
};

const char* const kUnits[] = {"", "K", "M", "G", "T"};
constexpr int kUnitCount = 5;
}  // namespace

QString SizeText(int64_t value, int start_unit, bool scaled) {
  if (start_unit < 0 || start_unit >= kUnitCount) start_unit = 0;
  if (!scaled) {
    // Groups of three digits, most significant first.
    const bool negative = value < 0;
    uint64_t rest = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    QString text;
    while (rest >= 1000) {
      text.prepend(QString::asprintf(",%03u", static_cast<unsigned>(rest % 1000)));
      rest /= 1000;
    }
    text.prepend(QString::number(rest));
    if (negative) text.prepend(QLatin1Char('-'));
    return text;
  }
  int64_t scaled_value = value;
  for (int i = 0; i < start_unit; ++i) scaled_value /= 1024;
  int unit = start_unit;
  while (scaled_value >= 1024) {
    unit = (unit + 1) % kUnitCount;
    scaled_value /= 1024;
  }
  if (value > 0 && scaled_value == 0) scaled_value = 1;
  return QString::number(scaled_value) + QLatin1String(kUnits[unit]);
}

QString LongSizeText(int64_t value) {
  return Text::tr("%1B(%2字节)")
      .arg(SizeText(value, 1, true), SizeText(value, 0, false));
}

QString FilterText(const std::vector<int>& codes) {
  QStringList names;
  for (int code : codes) {
    switch (code) {
      case 0:
      case 255:
        break;
      case 1:
        names << Text::tr("SXC压缩");
        break;
      case 2:
        names << Text::tr("ZIP压缩");
        break;
      case 128:
        names << Text::tr("ADM加密");
        break;
      default:
        names << Text::tr("未知");
        break;
    }
  }
  return names.join(QLatin1Char(';'));
}

QString InfoLabelText(const QString& label) {
  if (label.size() < 31) return label + QStringLiteral(" : ");
  return label.left(27) + QStringLiteral("... : ");
}

QString InfoValueText(const QString& text) {
  const QString value = VisibleText(text);
  if (value.size() < 41) return value;
  return value.left(37) + QStringLiteral("...");
}

QString VisibleText(const QString& text) {
  auto control = [](QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
  };
  if (std::none_of(text.begin(), text.end(), control)) return text;
  QString shown;
  shown.reserve(text.size() + 8);
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (!control(c)) {
      shown += c;
    } else if (u < 0x20) {
      shown += QChar(static_cast<char16_t>(0x2400 + u));
    } else if (u == 0x7F) {
      shown += QChar(static_cast<char16_t>(0x2421));
    } else {
      shown += QStringLiteral("\\x") + QString::number(u, 16);
    }
  }
  return shown;
}

QString ShownPartName(const QString& name, bool beside_folder) {
  const QString shown = VisibleText(name);
  return beside_folder ? shown + Text::tr(" (与同名文件夹并存的文件)") : shown;
}

QString WindowTitle(const QString& file_name, const QString& initial_title) {
  if (file_name.isEmpty()) return initial_title;
  return file_name + QStringLiteral(" - ") + initial_title;
}

QString UpperExtension(const QString& name) {
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return (dot < 0 ? name : name.mid(dot + 1)).toUpper();
}

}  // namespace zoqe
