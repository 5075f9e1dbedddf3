#pragma once

#include <QWidget>

#include <string>

class CSkinEngine;

// A level indicator drawn from two images of one skin object: "Face" over the
// whole control, and "BackGround" over the filled part, whose size is the
// value in percent. Vertical fill grows from the bottom edge, horizontal fill
// from the left edge. Without an object of its skin name the control draws
// neither image and shows what lies beneath it.
class CSkinMeter : public QWidget {
    Q_OBJECT

public:
    explicit CSkinMeter(CSkinEngine& engine, QWidget* pParent = nullptr);

    // Clamped to 0-100; repaints the whole control.
    void SetValue(int nValue);
    int GetValue() const { return m_nValue; }
    void SetSkinName(const std::string& strSkinName);
    const std::string& SkinName() const { return m_strSkinName; }
    // 1: fill from the bottom edge upwards; 0: from the left edge rightwards.
    void SetVertical(int bVertical);
    int IsVertical() const { return m_bVertical; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    void EraseBackground(QPainter& painter);
    // The part of the client rectangle that shows "BackGround".
    QRect FilledPart() const;

    CSkinEngine& m_engine;
    int m_nValue = 0;
    std::string m_strSkinName;
    int m_bVertical = 1;
};
