#!/bin/sh
claude -p 'review the staged diff' --allowedTools Read
gemini -p 'summarise CHANGELOG.md'
