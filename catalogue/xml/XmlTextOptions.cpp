#include "catalogue/xml/XmlTextOptions.h"

const XmlTextOptions DefaultXmlTextOptions = {true, &DefaultXmlEntities};
