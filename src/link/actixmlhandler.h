// SAX handler that reads the encoder's system-information XML into an
// ACTIINFO. Qt 5.15 marks its SAX reader deprecated, yet it is the reader
// this program uses; the warning is silenced here and where the reader runs.
#pragma once

#include "actiinfo.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

#include <QXmlDefaultHandler>

class ACTIINFO::ACTIXMLHANDLER : public QXmlDefaultHandler
{
public:
    // The system information is a flat document; a reply nested deeper than
    // this is refused before the reader, which recurses once per level, can
    // go further.
    static constexpr int maxDepth = 64;

    // Stores the first attribute of every element the encoder describes
    // itself with; all other elements, attributes and text are ignored.
    bool startElement(const QString &namespaceURI, const QString &localName, const QString &qName,
                      const QXmlAttributes &atts) override;
    bool endElement(const QString &namespaceURI, const QString &localName,
                    const QString &qName) override;

    ACTIINFO *info = nullptr; // the object filled; not owned
    int depth = 0;            // elements open at the reader's position
};

#pragma GCC diagnostic pop
