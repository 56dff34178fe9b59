#pragma once
// One INI file, section and key at a time, the way the rest of the program reaches
// site.ini. Every read parses the file afresh and every write or delete rewrites it
// through IniDocument (temporary file + rename), so nothing is cached between calls.
// The class reports nothing itself: a failure leaves LastReturnCode at 0 and its reason,
// in words for the user, in LastError.

#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

namespace pellwick {

class IniDocument;

class clsINIFile {
public:
    // Result of the last write or delete: non-zero means success.
    qint32 LastReturnCode() const { return m_lastReturnCode; }
    bool Success() const { return m_lastReturnCode != 0; }
    // Why the last write or delete failed; empty after a success.
    QString LastError() const { return m_lastError; }

    QString Default() const { return m_default; }
    void SetDefault(const QString& text) { m_default = text; }
    QString Path() const { return m_path; }
    void SetPath(const QString& path) { m_path = path; }
    QString Key() const { return m_key; }
    void SetKey(const QString& key) { m_key = key; }
    QString Section() const { return m_section; }
    void SetSection(const QString& section) { m_section = section; }

    // The value of Key in Section of Path, Default when the file, section or key is
    // missing or the file cannot be read. Not cut to a fixed length.
    QString Value() const;
    // Writes Key = text (zero characters removed) into Section, creating the file and
    // the section when missing. Sets LastReturnCode.
    void SetValue(const QString& text);
    // Removes Key from Section. A key that is not there counts as removed, as with the
    // platform's INI functions; the file is then left untouched. Sets LastReturnCode.
    void DeleteKey();
    // Removes Section with all its lines. Sets LastReturnCode like DeleteKey.
    void DeleteSection();

    // Key names of Section, each followed by a zero character.
    QString INISection() const;
    // Section names of the file, each followed by a zero character.
    QString Sections() const;
    // Key names of Section, in keys[0] .. keys[count - 1]; count 0 for none.
    void EnumerateCurrentSection(QStringList& keys, int& count) const;
    // Section names of the file, empty names skipped, in the same form.
    void EnumerateAllSections(QStringList& sections, int& count) const;

    // A window's placement as SaveFormPosition and LoadFormPosition store it.
    struct FormPosition {
        bool minimised = false;
        bool maximised = false;
        QRect normal; // left, top, width, height in the window system's units
    };
    // Writes "Maximised" (unless minimised) and, in normal state, "Left", "Top",
    // "Width" and "Height" into Section. Key is left as it was.
    void SaveFormPosition(const FormPosition& position);
    // Reads the four values back (a missing one keeps current's), keeps the rectangle
    // inside screen and tells whether "Maximised" is 1. Default is left as "FAIL".
    FormPosition LoadFormPosition(const FormPosition& current, const QRect& screen);

    // Overloads for any window with QWidget's placement API, so that this class does not
    // need the widgets module (the caller includes <QScreen>).
    template <class Window> void SaveFormPosition(const Window& window) {
        SaveFormPosition(FormPosition{window.isMinimized(), window.isMaximized(),
                                      QRect(window.pos(), window.size())});
    }
    template <class Window> void LoadFormPosition(Window& window) {
        const QRect screen = window.screen() ? window.screen()->availableGeometry()
                                             : QRect(window.pos(), window.size());
        const FormPosition loaded =
            LoadFormPosition(FormPosition{window.isMinimized(), window.isMaximized(),
                                          QRect(window.pos(), window.size())},
                             screen);
        window.move(loaded.normal.topLeft());
        window.resize(loaded.normal.size());
        if (loaded.maximised) {
            window.showMaximized();
        }
    }

    // The text as a 32-bit integer (decimals rounded half to even, as the platform's
    // conversion does), or fallback when it is no number or out of range.
    static qint32 CLngDefault(const QString& text, qint32 fallback = 0);

private:
    void writeValue(const QString& key, const QString& text);
    // Loads the file, applies edit and saves it; sets LastReturnCode and LastError.
    // edit returns false with an empty reason when it had nothing to change.
    void change(const std::function<bool(IniDocument&, QString&)>& edit);

    QString m_path;
    QString m_section;
    QString m_key;
    QString m_default;
    qint32 m_lastReturnCode = 0;
    QString m_lastError;
};

} // namespace pellwick
