#!/usr/bin/env python3
"""Test images for Rorurera's GoogleTest programs (the package fixtures/
beside this file makes them; its __init__.py says how).

Usage:
  make_fixtures.py OUT          small fixtures (under a second; a no-op when
                                OUT/fixtures.stamp matches this script and
                                the package), listed in OUT/fixtures.txt
  make_fixtures.py --large OUT  benchmark images, each skipped if present
  make_fixtures.py --check OUT  verify the small fixtures already in OUT

Silent on success; on any failure a message on stderr and exit status 1.
Needs python3 (standard library only) and JxrEncApp / JxrDecApp (Debian
package libjxr-tools).
"""

import sys

from fixtures.main import main

if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
