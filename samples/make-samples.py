#!/usr/bin/env python3
"""Writes OpenDocument presentations: the samples in this folder, or numbered decks for tests.

Usage:
  make-samples.py                    writes the committed samples beside this script:
      sample.odp      three 4:3 slides on a master with a background graphic (a band and a logo
                      shape), shadowed shapes and shadowed text: every conversion option shows.
      widescreen.odp  two 16:9 slides, for the handling of slides that are not 4:3.
  make-samples.py --deck OUTPUT N    writes a 4:3 deck of N numbered slides of the same kind, for
                                     tests and benchmarks.
"""
import os
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))

NS = (
    'xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
    'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
    'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
    'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
    'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
    'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
    'xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0" '
    'xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0" '
    'xmlns:dc="http://purl.org/dc/elements/1.1/" '
    'office:version="1.2"'
)

MANIFEST = """<?xml version="1.0" encoding="UTF-8"?>
<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">
 <manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.presentation"/>
 <manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>
 <manifest:file-entry manifest:full-path="styles.xml" manifest:media-type="text/xml"/>
 <manifest:file-entry manifest:full-path="meta.xml" manifest:media-type="text/xml"/>
</manifest:manifest>
"""


def styles(width_cm, height_cm):
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document-styles {NS}>
 <office:styles>
  <style:style style:name="standard" style:family="graphic">
   <style:graphic-properties draw:stroke="none" draw:fill="solid" draw:fill-color="#ffffff"/>
   <style:text-properties fo:font-family="DejaVu Sans" fo:font-size="24pt" fo:color="#000000"/>
  </style:style>
 </office:styles>
 <office:automatic-styles>
  <style:page-layout style:name="PM1">
   <style:page-layout-properties fo:margin-top="0cm" fo:margin-bottom="0cm" fo:margin-left="0cm"
     fo:margin-right="0cm" fo:page-width="{width_cm}cm" fo:page-height="{height_cm}cm"
     style:print-orientation="landscape"/>
  </style:page-layout>
  <style:style style:name="mp1" style:family="drawing-page">
   <style:drawing-page-properties draw:background-size="full" draw:fill="solid" draw:fill-color="#f4f1ea"/>
  </style:style>
  <style:style style:name="mgr1" style:family="graphic" style:parent-style-name="standard">
   <style:graphic-properties draw:stroke="none" draw:fill="solid" draw:fill-color="#2e5c8a"/>
  </style:style>
  <style:style style:name="mgr2" style:family="graphic" style:parent-style-name="standard">
   <style:graphic-properties draw:stroke="none" draw:fill="solid" draw:fill-color="#e0a030"/>
  </style:style>
 </office:automatic-styles>
 <office:master-styles>
  <style:master-page style:name="Vellum" style:page-layout-name="PM1" draw:style-name="mp1">
   <draw:rect draw:style-name="mgr1" svg:x="0cm" svg:y="0cm" svg:width="{width_cm}cm" svg:height="2.5cm"/>
   <draw:ellipse draw:style-name="mgr2" svg:x="{width_cm - 3.5}cm" svg:y="{height_cm - 3.5}cm"
     svg:width="2.5cm" svg:height="2.5cm"/>
  </style:master-page>
 </office:master-styles>
</office:document-styles>
"""


def content(width_cm, height_cm, slides):
    pages = []
    for number, (title, lines) in enumerate(slides, start=1):
        body = "".join(f"<text:p>{line}</text:p>" for line in lines)
        pages.append(f"""
  <draw:page draw:name="Slide {number}" draw:master-page-name="Vellum">
   <draw:frame draw:style-name="gr-title" svg:x="1.5cm" svg:y="3.2cm" svg:width="{width_cm - 3}cm" svg:height="2.4cm">
    <draw:text-box><text:p text:style-name="P-title"><text:span text:style-name="T-shadow">{title}</text:span></text:p></draw:text-box>
   </draw:frame>
   <draw:frame draw:style-name="gr-text" svg:x="1.5cm" svg:y="6.2cm" svg:width="{width_cm / 2}cm" svg:height="{height_cm - 9}cm">
    <draw:text-box>{body}</draw:text-box>
   </draw:frame>
   <draw:rect draw:style-name="gr-shape" svg:x="{width_cm / 2 + 3}cm" svg:y="7cm" svg:width="{width_cm / 2 - 6}cm" svg:height="{height_cm - 12}cm">
    <text:p text:style-name="P-shape">{number}</text:p>
   </draw:rect>
  </draw:page>""")
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document-content {NS}>
 <office:automatic-styles>
  <style:style style:name="gr-title" style:family="graphic" style:parent-style-name="standard">
   <style:graphic-properties draw:stroke="none" draw:fill="none"/>
  </style:style>
  <style:style style:name="gr-text" style:family="graphic" style:parent-style-name="standard">
   <style:graphic-properties draw:stroke="none" draw:fill="none"/>
  </style:style>
  <style:style style:name="gr-shape" style:family="graphic" style:parent-style-name="standard">
   <style:graphic-properties draw:stroke="solid" svg:stroke-color="#1d3d5c" draw:fill="solid"
     draw:fill-color="#6fa8dc" draw:shadow="visible" draw:shadow-offset-x="0.4cm"
     draw:shadow-offset-y="0.4cm" draw:shadow-color="#404040"/>
  </style:style>
  <style:style style:name="P-title" style:family="paragraph">
   <style:text-properties fo:font-size="36pt" fo:font-weight="bold" fo:color="#1d3d5c"/>
  </style:style>
  <style:style style:name="P-shape" style:family="paragraph">
   <style:paragraph-properties fo:text-align="center"/>
   <style:text-properties fo:font-size="60pt" fo:font-weight="bold" fo:color="#ffffff" fo:text-shadow="2pt 2pt"/>
  </style:style>
  <style:style style:name="T-shadow" style:family="text">
   <style:text-properties fo:text-shadow="2pt 2pt"/>
  </style:style>
 </office:automatic-styles>
 <office:body>
  <office:presentation>{"".join(pages)}
  </office:presentation>
 </office:body>
</office:document-content>
"""


def meta(title):
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document-meta {NS}>
 <office:meta><dc:title>{title}</dc:title><meta:generator>Vellumet samples</meta:generator></office:meta>
</office:document-meta>
"""


def write(path, title, width_cm, height_cm, slides):
    with zipfile.ZipFile(path, "w") as odp:
        # The media type comes first and uncompressed, as the format requires.
        odp.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.presentation",
                     compress_type=zipfile.ZIP_STORED)
        for entry, text in (("content.xml", content(width_cm, height_cm, slides)),
                            ("styles.xml", styles(width_cm, height_cm)),
                            ("meta.xml", meta(title)),
                            ("META-INF/manifest.xml", MANIFEST)):
            info = zipfile.ZipInfo(entry, date_time=(2026, 1, 1, 0, 0, 0))
            odp.writestr(info, text, compress_type=zipfile.ZIP_DEFLATED)


def write_samples():
    write(os.path.join(HERE, "sample.odp"), "Reading slides on paper-like screens", 28, 21, [
        ("Slides on an e-reader", ["One slide fills the page", "turned a quarter turn", "sized for the device"]),
        ("Clean pages", ["Background graphics can go", "Shadows can go", "Text stays sharp"]),
        ("Two per page", ["Pairs share a page", "with a grey rule between them"]),
    ])
    write(os.path.join(HERE, "widescreen.odp"), "A widescreen deck", 33.867, 19.05, [
        ("A 16:9 slide", ["Not every deck is 4:3", "Its own shape is kept"]),
        ("Second wide slide", ["Fitted, never stretched"]),
    ])


def write_numbered_deck(path, count):
    slides = [(f"Slide {n} of {count}", [f"First point of slide {n}", "A second point",
                                          "And a third, somewhat longer line"]) for n in range(1, count + 1)]
    write(path, f"A deck of {count} slides", 28, 21, slides)


if __name__ == "__main__":
    if len(sys.argv) == 1:
        write_samples()
    elif len(sys.argv) == 4 and sys.argv[1] == "--deck" and sys.argv[3].isdigit() and int(sys.argv[3]) >= 1:
        write_numbered_deck(sys.argv[2], int(sys.argv[3]))
    else:
        sys.exit("usage: make-samples.py [--deck OUTPUT N]")
