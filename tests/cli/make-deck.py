#!/usr/bin/env python3
"""Writes an OpenDocument presentation with N numbered 4:3 slides, for tests and benchmarks.

Usage: make-deck.py OUTPUT.odp N

Every slide has a title, a few lines of text and a shadowed shape, on a master with a background
band, so the conversion options have something to act on.
"""
import sys
import zipfile

NS = (
    'xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
    'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
    'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
    'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
    'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
    'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
    'xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0" '
    'office:version="1.2"'
)

MANIFEST = """<?xml version="1.0" encoding="UTF-8"?>
<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">
 <manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.presentation"/>
 <manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>
 <manifest:file-entry manifest:full-path="styles.xml" manifest:media-type="text/xml"/>
</manifest:manifest>
"""

STYLES = f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document-styles {NS}>
 <office:styles>
  <style:style style:name="standard" style:family="graphic">
   <style:graphic-properties draw:stroke="none" draw:fill="none"/>
   <style:text-properties fo:font-family="DejaVu Sans" fo:font-size="24pt" fo:color="#000000"/>
  </style:style>
 </office:styles>
 <office:automatic-styles>
  <style:page-layout style:name="PM1">
   <style:page-layout-properties fo:margin-top="0cm" fo:margin-bottom="0cm" fo:margin-left="0cm"
     fo:margin-right="0cm" fo:page-width="28cm" fo:page-height="21cm" style:print-orientation="landscape"/>
  </style:page-layout>
  <style:style style:name="mp1" style:family="drawing-page">
   <style:drawing-page-properties draw:background-size="full" draw:fill="solid" draw:fill-color="#f7f4ee"/>
  </style:style>
  <style:style style:name="band" style:family="graphic" style:parent-style-name="standard">
   <style:graphic-properties draw:fill="solid" draw:fill-color="#2e5c8a"/>
  </style:style>
 </office:automatic-styles>
 <office:master-styles>
  <style:master-page style:name="Deck" style:page-layout-name="PM1" draw:style-name="mp1">
   <draw:rect draw:style-name="band" svg:x="0cm" svg:y="0cm" svg:width="28cm" svg:height="2cm"/>
  </style:master-page>
 </office:master-styles>
</office:document-styles>
"""


def content(count):
    pages = []
    for number in range(1, count + 1):
        pages.append(f"""
  <draw:page draw:name="Slide {number}" draw:master-page-name="Deck">
   <draw:frame draw:style-name="plain" svg:x="1.5cm" svg:y="3cm" svg:width="25cm" svg:height="2.5cm">
    <draw:text-box><text:p text:style-name="title">Slide {number} of {count}</text:p></draw:text-box>
   </draw:frame>
   <draw:frame draw:style-name="plain" svg:x="1.5cm" svg:y="6.5cm" svg:width="13cm" svg:height="11cm">
    <draw:text-box><text:p>First point of slide {number}</text:p><text:p>A second point</text:p>
     <text:p>And a third, somewhat longer line</text:p></draw:text-box>
   </draw:frame>
   <draw:rect draw:style-name="box" svg:x="16cm" svg:y="7cm" svg:width="9cm" svg:height="9cm">
    <text:p text:style-name="big">{number}</text:p>
   </draw:rect>
  </draw:page>""")
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document-content {NS}>
 <office:automatic-styles>
  <style:style style:name="plain" style:family="graphic" style:parent-style-name="standard"/>
  <style:style style:name="box" style:family="graphic" style:parent-style-name="standard">
   <style:graphic-properties draw:stroke="solid" svg:stroke-color="#1d3d5c" draw:fill="solid"
     draw:fill-color="#6fa8dc" draw:shadow="visible" draw:shadow-offset-x="0.3cm"
     draw:shadow-offset-y="0.3cm" draw:shadow-color="#404040"/>
  </style:style>
  <style:style style:name="title" style:family="paragraph">
   <style:text-properties fo:font-size="36pt" fo:font-weight="bold" fo:color="#1d3d5c"/>
  </style:style>
  <style:style style:name="big" style:family="paragraph">
   <style:paragraph-properties fo:text-align="center"/>
   <style:text-properties fo:font-size="72pt" fo:font-weight="bold" fo:color="#ffffff"/>
  </style:style>
 </office:automatic-styles>
 <office:body>
  <office:presentation>{"".join(pages)}
  </office:presentation>
 </office:body>
</office:document-content>
"""


def main():
    if len(sys.argv) != 3 or not sys.argv[2].isdigit() or int(sys.argv[2]) < 1:
        sys.exit("usage: make-deck.py OUTPUT.odp N")
    with zipfile.ZipFile(sys.argv[1], "w") as odp:
        # The media type comes first and uncompressed, as the format requires.
        odp.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.presentation",
                     compress_type=zipfile.ZIP_STORED)
        for entry, text in (("content.xml", content(int(sys.argv[2]))), ("styles.xml", STYLES),
                            ("META-INF/manifest.xml", MANIFEST)):
            odp.writestr(zipfile.ZipInfo(entry, date_time=(2026, 1, 1, 0, 0, 0)), text,
                         compress_type=zipfile.ZIP_DEFLATED)


main()
