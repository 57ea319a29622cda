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
    // Stores the first attribute of every element the encoder describes
    // itself with; all other elements, attributes and text are ignored.
    bool startElement(const QString &namespaceURI, const QString &localName, const QString &qName,
                      const QXmlAttributes &atts) override;

    ACTIINFO *info = nullptr; // the object filled; not owned
};

#pragma GCC diagnostic pop
