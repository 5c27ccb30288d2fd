// The new-patient notice in Swedish.
object frmNewPatient: TfrmNewPatient
  Left = 0
  Top = 0
  BorderIcons = [biSystemMenu]
  BorderStyle = bsSingle
  Caption = 'Ny patient'
  ClientHeight = 67
  ClientWidth = 656
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  FormStyle = fsStayOnTop
  OldCreateOrder = False
  Position = poDesktopCenter
  PixelsPerInch = 96
  TextHeight = 13
  object LblStatus: TCapLabel
    Left = 0
    Top = 0
    Width = 656
    Height = 67
    Align = alClient
    Alignment = taCenter
    Color = clAqua
    ColorScheme = csCustom
    CustomSettings.HighlightColor = clYellow
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clOlive
    Font.Height = -19
    Font.Name = 'MS Sans Serif'
    Font.Style = []
    ParentColor = False
    ParentFont = False
    Transparent = False
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 5000
    OnTimer = Timer1Timer
  end
end
