#pragma once
// A cursor over an XML document held by the platform's MSXML DOM. The
// document is loaded synchronously from an address (web or file) or from a
// text; the cursor moves from element list to element list by tag name and
// keeps a stack of positions so that a nested search can return to where it
// started. Load failures and misuse are exceptions carrying the failing
// operation's label; single reads that find nothing answer false.
#include <objbase.h>
#include <msxml.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/framework/com.h"

// The document cannot be created, fetched, parsed or entered.
class CAccessFileException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// COM cannot be initialised, or the reader is used without a document or
// current node, or a pop finds the stack empty.
class CIllegalStateException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Bounds of an HTTP load: each connect, send or receive, the whole fetch,
// and the size of the answer.
struct XmlHttpLimits {
  unsigned long call_ms = 30000;
  unsigned long total_ms = 120000;
  size_t max_bytes = 4 * 1024 * 1024;
};

namespace zu::seams {
// The limits every load works within; tests tighten them with a
// zu::ScopedOverride.
extern XmlHttpLimits xml_http_limits;
}  // namespace zu::seams

class CXmlFileReader {
 public:
  CXmlFileReader();
  ~CXmlFileReader();
  CXmlFileReader(const CXmlFileReader&) = delete;
  CXmlFileReader& operator=(const CXmlFileReader&) = delete;

  // Loads from a web address or a file path and waits for the whole
  // document; the cursor then stands on the root. Throws
  // CAccessFileException (or CIllegalStateException when COM fails).
  // http and https addresses are fetched here within XmlHttpLimits (the
  // DOM's own fetch waits forever on a server that accepts and never
  // answers), following at most zu::net::kMaxRedirects redirects, and only
  // a whole 200 answer is parsed; everything else the DOM loads itself.
  void load(const std::wstring& address);
  // The same from the document's text.
  void loadXml(const std::wstring& text);

  // Searches the descendants of the current element (of the whole document
  // at the root) for the tag. Found: the current position is pushed and the
  // first match becomes current. Not found: false, nothing changes.
  bool ReadStartElement(const std::wstring& tag);
  // The next element of the list the current one came from.
  bool NextElement();
  // Back to the position saved by the matching ReadStartElement; throws on
  // an empty stack. TryPopCurrentNode answers false instead.
  void popCurrentNode();
  bool TryPopCurrentNode();

  // Reads of the current element; false when the cursor is at the root.
  // Text is the concatenated text of the element's subtree.
  bool ReadElementText(std::wstring* text);
  // A missing attribute reads as empty and still answers true.
  bool ReadAttributCString(const std::wstring& name, std::wstring* text);
  // "OS" of the parent element: false (text empty) when the parent has
  // none or is not an element.
  bool ReadParentOS(std::wstring* text);
  // Text of the first child, which must be an element.
  bool ReadFirstChildText(std::wstring* text);

  // Saves the loaded document; failures are ignored.
  void save(const std::wstring& path);

  // The address last loaded.
  const std::wstring& source() const { return source_; }

 private:
  struct Position {
    zu::ComPtr<IXMLDOMNode> node;        // the document (root) or an element
    zu::ComPtr<IXMLDOMElement> element;  // set when node is an element
    zu::ComPtr<IXMLDOMNodeList> list;    // none at the root
    long index = 0;
  };

  void initializeCOM();
  void createXmlDocument();
  void getRootNode();
  void RequireCurrent(const char* label) const;

  std::wstring source_;
  bool com_initialized_ = false;
  bool loaded_ = false;
  zu::ComPtr<IXMLDOMDocument> document_;
  std::vector<Position> stack_;
  Position current_;
};
