#include "reports/ReportCanvas.h"

#include <Papyrer.h>

#include <string>

namespace {

std::string utf8(const QString &text)
{
    return text.toStdString();
}

} // namespace

PapyrCanvas::PapyrCanvas() : m_writer(std::make_unique<Papyrer>()) {}
PapyrCanvas::~PapyrCanvas() = default;

void PapyrCanvas::FileName(const QString &path) { m_writer->FileName(utf8(path)); }
void PapyrCanvas::ScaleMode(qint16 mode) { m_writer->ScaleMode(mode); }
QString PapyrCanvas::FontName() const { return QString::fromStdString(m_writer->FontName()); }
void PapyrCanvas::FontName(const QString &name) { m_writer->FontName(utf8(name)); }
float PapyrCanvas::FontSize() const { return m_writer->FontSize(); }
void PapyrCanvas::FontSize(float points) { m_writer->FontSize(points); }
bool PapyrCanvas::FontBold() const { return m_writer->FontBold(); }
void PapyrCanvas::FontBold(bool bold) { m_writer->FontBold(bold); }
bool PapyrCanvas::FontItalic() const { return m_writer->FontItalic(); }
void PapyrCanvas::FontItalic(bool italic) { m_writer->FontItalic(italic); }
qint32 PapyrCanvas::ForeColor() const { return m_writer->ForeColor(); }
void PapyrCanvas::ForeColor(qint32 colour) { m_writer->ForeColor(colour); }
qint16 PapyrCanvas::DrawStyle() const { return m_writer->DrawStyle(); }
void PapyrCanvas::DrawStyle(qint16 style) { m_writer->DrawStyle(style); }
float PapyrCanvas::CurrentX() const { return m_writer->CurrentX(); }
void PapyrCanvas::CurrentX(float x) { m_writer->CurrentX(x); }
float PapyrCanvas::CurrentY() const { return m_writer->CurrentY(); }
void PapyrCanvas::CurrentY(float y) { m_writer->CurrentY(y); }
void PapyrCanvas::PrintText(const QString &text) { m_writer->PrintText(utf8(text)); }
float PapyrCanvas::TextWidth(const QString &text) const { return m_writer->TextWidth(utf8(text)); }
void PapyrCanvas::DrawLine(float x1, float y1, float x2, float y2) { m_writer->DrawLine(x1, y1, x2, y2); }
void PapyrCanvas::NewPage() { m_writer->NewPage(); }
QString PapyrCanvas::EndDoc() { return QString::fromStdString(m_writer->EndDoc()); }
