// ReportCanvas: the part of the PDF writer's printer-style interface that the
// report document draws through, so a test can watch every item drawn while
// the real writer records it.
//
// Properties are read and written under one name, as on Papyrer. Texts are
// QString; PapyrCanvas hands them to the writer as UTF-8, which writes them
// as Windows-1252. Units are those of ScaleMode (the report uses 6, mm).
#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

class Papyrer;

class ReportCanvas {
public:
    virtual ~ReportCanvas() = default;

    virtual void FileName(const QString &path) = 0;
    virtual void ScaleMode(qint16 mode) = 0;

    virtual QString FontName() const = 0;
    virtual void FontName(const QString &name) = 0;
    virtual float FontSize() const = 0;
    virtual void FontSize(float points) = 0;
    virtual bool FontBold() const = 0;
    virtual void FontBold(bool bold) = 0;
    virtual bool FontItalic() const = 0;
    virtual void FontItalic(bool italic) = 0;
    virtual qint32 ForeColor() const = 0;
    virtual void ForeColor(qint32 colour) = 0;
    virtual qint16 DrawStyle() const = 0;
    virtual void DrawStyle(qint16 style) = 0;

    virtual float CurrentX() const = 0;
    virtual void CurrentX(float x) = 0;
    virtual float CurrentY() const = 0;
    virtual void CurrentY(float y) = 0;

    // May throw PapyrOverflowError (see Papyrer.h); nothing is recorded then.
    virtual void PrintText(const QString &text) = 0;
    virtual float TextWidth(const QString &text) const = 0;
    virtual void DrawLine(float x1, float y1, float x2, float y2) = 0;
    virtual void NewPage() = 0;

    // Writes the file: "" on success, else "<errno> - <description>".
    virtual QString EndDoc() = 0;
};

// Forwards every call to one Papyrer that it owns.
class PapyrCanvas final : public ReportCanvas {
public:
    PapyrCanvas();
    ~PapyrCanvas() override;

    Papyrer &writer() { return *m_writer; }

    void FileName(const QString &path) override;
    void ScaleMode(qint16 mode) override;
    QString FontName() const override;
    void FontName(const QString &name) override;
    float FontSize() const override;
    void FontSize(float points) override;
    bool FontBold() const override;
    void FontBold(bool bold) override;
    bool FontItalic() const override;
    void FontItalic(bool italic) override;
    qint32 ForeColor() const override;
    void ForeColor(qint32 colour) override;
    qint16 DrawStyle() const override;
    void DrawStyle(qint16 style) override;
    float CurrentX() const override;
    void CurrentX(float x) override;
    float CurrentY() const override;
    void CurrentY(float y) override;
    void PrintText(const QString &text) override;
    float TextWidth(const QString &text) const override;
    void DrawLine(float x1, float y1, float x2, float y2) override;
    void NewPage() override;
    QString EndDoc() override;

private:
    std::unique_ptr<Papyrer> m_writer;
};
